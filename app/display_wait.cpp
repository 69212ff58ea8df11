#include "app/display_wait.h"

#include <chrono>
#include <cstddef>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

std::string localDisplaySocket(const std::string& display) {
    std::size_t colon = 0;
    if (display.compare(0, 5, "unix:") == 0)
        colon = 4;
    else if (display.empty() || display[0] != ':')
        return {};
    std::size_t end = colon + 1;
    while (end < display.size() && display[end] >= '0' && display[end] <= '9')
        ++end;
    if (end == colon + 1 || (end < display.size() && display[end] != '.')) return {};
    return "/tmp/.X11-unix/X" + display.substr(colon + 1, end - colon - 1);
}

namespace {

// A server that listens only in the abstract namespace (a container without
// the socket folder) has no file; a connection tells it is there.
bool abstractSocketAnswers(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path + 1, sizeof address.sun_path - 2);
    const socklen_t size =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());
    const bool up = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), size) == 0;
    ::close(fd);
    return up;
}

} // namespace

bool waitForLocalDisplay(const std::string& display, int patienceMs) {
    const std::string socket = localDisplaySocket(display);
    if (socket.empty()) return true;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(patienceMs);
    while (::access(socket.c_str(), F_OK) != 0 && !abstractSocketAnswers(socket)) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return true;
}
