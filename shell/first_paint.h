#pragma once
// A window's first frame: once it has been drawn and handed to the window
// system, a callback runs. With ZADUD_REPORT_FIRST_PAINT set, two lines are
// printed on standard output at that moment too: "cpu-ms N", the processor
// time of every thread the process has run so far, and "first-paint". The
// start-up benchmark waits for them.

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <ctime>
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
            timespec cpu{};
            ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
            std::printf("cpu-ms %.3f\n%s\n", cpu.tv_sec * 1e3 + cpu.tv_nsec / 1e6, Line);
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
