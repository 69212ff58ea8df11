#pragma once
// Start-up timing: with ZADUD_REPORT_FIRST_PAINT set, prints one line on
// standard output once the window's first frame has been drawn and handed to
// the window system. The start-up benchmark waits for that line.

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>
#include <cstdio>

class FirstPaintReport : public QObject {
public:
    static constexpr const char* Line = "first-paint";

    // Call before the window is shown; does nothing unless asked for.
    static void watch(QWidget* window) {
        if (qEnvironmentVariableIsEmpty("ZADUD_REPORT_FIRST_PAINT")) return;
        window->winId(); // the native window now, so its first exposure is seen
        window->windowHandle()->installEventFilter(new FirstPaintReport(window));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() != QEvent::Expose || !static_cast<QWindow*>(watched)->isExposed())
            return false;
        // The exposure draws and flushes the whole window; report after it.
        watched->removeEventFilter(this);
        const bool handled = watched->event(e);
        std::printf("%s\n", Line);
        std::fflush(stdout);
        deleteLater();
        return handled;
    }

private:
    explicit FirstPaintReport(QObject* parent) : QObject(parent) {}
};
