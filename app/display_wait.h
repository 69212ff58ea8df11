#pragma once
// Starting while the X server is still coming up (a session's first
// moments, an autostart): a local display whose server has not made its
// socket yet refuses the connection, and Qt gives up at once with "could not
// load the Qt platform plugin xcb". The start waits a little for the socket.

#include <string>

// The socket a local display (":N", ":N.S", "unix:N") listens on; empty for
// any other display, which is left to Qt.
std::string localDisplaySocket(const std::string& display);

// Waits up to patienceMs for the socket of a local display to appear.
// True when it is there, or when the display is not a local one.
bool waitForLocalDisplay(const std::string& display, int patienceMs);
