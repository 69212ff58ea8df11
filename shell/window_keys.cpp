#include "shell/window_keys.h"

#include "shell/error_box.h"

#include <QAction>
#include <QMenuBar>
#include <QShortcut>

namespace WindowKeys {

void menuOnF10(QWidget* window, QMenuBar* bar) {
    auto* key = new QShortcut(QKeySequence(Qt::Key_F10), window);
    key->setObjectName(QStringLiteral("MenuKey"));
    QObject::connect(key, &QShortcut::activated, bar, [bar] {
        for (QAction* menu : bar->actions())
            if (menu->isVisible() && menu->isEnabled()) {
                bar->setActiveAction(menu);
                return;
            }
    });
}

void pageSteps(QWidget* window, std::function<void()> back, std::function<void()> forward) {
    // A shortcut comes before the focused control's own use of the key (a
    // grid would move its cursor a page).
    for (auto [key, step] : {std::pair{Qt::Key_PageUp, std::move(back)},
                             std::pair{Qt::Key_PageDown, std::move(forward)}}) {
        auto* shortcut = new QShortcut(QKeySequence(key), window);
        shortcut->setAutoRepeat(false);
        QObject::connect(shortcut, &QShortcut::activated, window,
                         [step = std::move(step)] { runGuarded(step); });
    }
}

} // namespace WindowKeys
