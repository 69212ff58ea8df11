#pragma once
// The frame the list and the diary share: a menu bar with one "ﾌｧｲﾙ" menu
// over a panel `Panel1` that fills the rest of the window.

#include <QString>
#include <Qt>

class QAction;
class QDialog;
class QFrame;
class QMenu;
class QMenuBar;
class QVBoxLayout;

struct FormFrame {
    QMenuBar* menuBar;
    QMenu* fileMenu;
    QFrame* panel;
    QVBoxLayout* panelLayout; // holds the panel's one control, edge to edge
};

FormFrame buildFormFrame(QDialog* form);

// A menu command with its Ctrl+letter shortcut.
QAction* addCommand(QMenu* menu, const QString& caption, Qt::Key key);
