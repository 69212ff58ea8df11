#pragma once
// Keys every window shares beyond its menu's own: F10 opens the menu bar
// (the arrow keys then walk it, Enter chooses), and PageUp/PageDown step
// whatever the window shows a page of, a day, a month or a year.

#include <functional>

class QMenuBar;
class QTabWidget;
class QWidget;

namespace WindowKeys {

// F10 anywhere in `window` opens the first menu of `bar`.
void menuOnF10(QWidget* window, QMenuBar* bar);

// PageUp runs `back`, PageDown `forward`, whichever control has the focus;
// an error is shown in the error box.
void pageSteps(QWidget* window, std::function<void()> back, std::function<void()> forward);

// Ctrl+PageDown / Ctrl+Tab show the next page of `tabs`, Ctrl+PageUp /
// Ctrl+Shift+Tab the one before, wherever the focus is in its window (a
// list or a box with the focus would take them as its own keys).
void pageTurns(QTabWidget* tabs);

} // namespace WindowKeys
