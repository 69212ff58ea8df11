#include "windows/search_box_keys.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QWidget>

#include <algorithm>
#include <iterator>

bool searchBoxKey(QObject* watched, QEvent* e, QWidget* box, QWidget* list, const QAction* exit) {
    if (e->type() != QEvent::ShortcutOverride && e->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(e);
    // The box claims Ctrl+X (cut) before shortcuts are matched; the menu's
    // key wins, as in the program's other windows.
    if (e->type() == QEvent::ShortcutOverride) {
        if (QKeySequence(key->keyCombination()) != exit->shortcut()) return false;
        e->ignore();
        return true;
    }
    static const int walk[] = {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown};
    if (watched == box &&
        std::find(std::begin(walk), std::end(walk), key->key()) != std::end(walk)) {
        QApplication::sendEvent(list, e);
        return true;
    }
    return false;
}
