#pragma once
// A window's first frame: once it has been drawn and handed to the window
// system, a callback runs. With ZADUD_REPORT_FIRST_PAINT set, one line is
// printed on standard output at that moment too; the start-up benchmark
// waits for that line.

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <functional>
#include <utility>

class FirstPaintReport : public QObject {
public:
    static constexpr const char* Line = "first-paint";

    // Call before the window is shown. Without a callback and without the
    // variable it does nothing.
    static void watch(QWidget* window, std::function<void()> then = {}) {
        const bool report = !qEnvironmentVariableIsEmpty("ZADUD_REPORT_FIRST_PAINT");
        if (!report && !then) return;
        window->winId(); // the native window now, so its first exposure is seen
        window->windowHandle()->installEventFilter(
            new FirstPaintReport(window, report, std::move(then)));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() != QEvent::Expose || !static_cast<QWindow*>(watched)->isExposed())
            return false;
        // The exposure draws and flushes the whole window; report after it.
        watched->removeEventFilter(this);
        const bool handled = watched->event(e);
        if (report_) {
            std::printf("%s\n", Line);
            std::fflush(stdout);
        }
        if (then_) then_();
        deleteLater();
        return handled;
    }

private:
    FirstPaintReport(QObject* parent, bool report, std::function<void()> then)
        : QObject(parent), report_(report), then_(std::move(then)) {}
    bool report_;
    std::function<void()> then_;
};
