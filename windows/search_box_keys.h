#pragma once
// The keys of a search window's query box: the window's Ctrl+X wins over the
// box's cut, and Up, Down, PageUp and PageDown walk the list of what was found.

class QAction;
class QEvent;
class QObject;
class QWidget;

// Call from the window's event filter for `watched`; true when the event was
// handled (or, for a shortcut override, given to the window's `exit` key).
bool searchBoxKey(QObject* watched, QEvent* e, QWidget* box, QWidget* list, const QAction* exit);
