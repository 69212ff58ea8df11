#include "shell/start_up.h"

#include "shell/first_paint.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

StartUp::StartUp(QWidget* mainWindow, std::function<void()> rest)
    : QObject(mainWindow), rest_(std::move(rest)) {
    // Made on the next turn of the event loop, so that the frame is flushed
    // to the window system before the rest takes its time.
    FirstPaintReport::watch(mainWindow, [this] {
        QTimer::singleShot(0, this, [this] { finish(); });
    });
    QTimer::singleShot(1000, this, [this] { finish(); });
    qApp->installEventFilter(this);
}

StartUp::~StartUp() {
    qApp->removeEventFilter(this);
}

void StartUp::finish() {
    if (!rest_) return;
    qApp->removeEventFilter(this);
    // Cleared first: the rest may turn the event loop (a message box).
    const std::function<void()> rest = std::move(rest_);
    rest_ = nullptr;
    rest();
}

bool StartUp::eventFilter(QObject*, QEvent* e) {
    switch (e->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        finish();
        break;
    default:
        break;
    }
    return false;
}
