#include "shell/window_keys.h"

#include "shell/error_box.h"

#include <QAction>
#include <QMenuBar>
#include <QShortcut>
#include <QTabWidget>

namespace WindowKeys {

void menuOnF10(QWidget* window, QMenuBar* bar) {
    auto* key = new QShortcut(QKeySequence(Qt::Key_F10), window);
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
        QObject::connect(shortcut, &QShortcut::activated, window,
                         [step = std::move(step)] { runGuarded(step); });
    }
}

void pageTurns(QTabWidget* tabs) {
    const struct {
        QKeyCombination key;
        int step;
    } turns[] = {{Qt::CTRL | Qt::Key_PageDown, 1},
                 {Qt::CTRL | Qt::Key_Tab, 1},
                 {Qt::CTRL | Qt::Key_PageUp, -1},
                 {Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, -1}};
    for (const auto& t : turns) {
        auto* shortcut = new QShortcut(QKeySequence(t.key), tabs->window());
        QObject::connect(shortcut, &QShortcut::activated, tabs, [tabs, step = t.step] {
            const int n = tabs->count();
            if (n > 0) tabs->setCurrentIndex((tabs->currentIndex() + step + n) % n);
        });
    }
}

} // namespace WindowKeys
