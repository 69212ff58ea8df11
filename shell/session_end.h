#pragma once
// The end of a session saves like closing the window: a logout or shutdown
// (the session manager's commitDataRequest), the application quitting by any
// other way, and SIGTERM, SIGHUP or SIGINT (what a logout, a closed terminal
// or a shutdown without a session manager sends). The signal only writes a
// byte to a pipe; the save runs in the event loop, then the program quits.

#include <functional>

class QGuiApplication;

void saveAtSessionEnd(QGuiApplication& app, std::function<void()> save);
