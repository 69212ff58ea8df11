#include "shell/session_end.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

extern "C" void onEndSignal(int) {
    const char byte = 1;
    // Only async-signal-safe calls here; a full pipe means a save is due already.
    (void)!::write(g_signalPipe[1], &byte, 1);
}

} // namespace

void saveAtSessionEnd(QGuiApplication& app, std::function<void()> save) {
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                     [save](QSessionManager&) { save(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [save] { save(); });
    if (g_signalPipe[0] >= 0 ||
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [notifier, save] {
        char byte;
        (void)!::read(g_signalPipe[0], &byte, 1);
        notifier->setEnabled(false);
        save();
        QCoreApplication::quit();
    });
    struct sigaction sa {};
    sa.sa_handler = onEndSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (const int sig : {SIGTERM, SIGHUP, SIGINT})
        ::sigaction(sig, &sa, nullptr);
}
