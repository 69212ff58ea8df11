#include "app/single_copy.h"

#include <QSocketNotifier>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr char Raise = 'R';
constexpr char Done = 'K';

// FNV-1a: the same name from every build of the program.
std::string hashed(const std::string& text) {
    uint64_t h = 1469598103934665603ull;
    for (const unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ull;
    }
    char out[17];
    std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(h));
    return out;
}

std::string runtimeDir() {
    const char* dir = std::getenv("XDG_RUNTIME_DIR");
    if (dir && *dir && ::access(dir, W_OK) == 0) return dir;
    return std::filesystem::temp_directory_path().string();
}

bool addressOf(const std::string& path, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size());
    return true;
}

// Waits for `fd` to be readable for at most `ms`; true when it is.
bool readable(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    int r;
    do {
        r = ::poll(&p, 1, ms);
    } while (r < 0 && errno == EINTR);
    return r > 0;
}

} // namespace

BookLock::BookLock(const std::string& dataDir, QObject* parent) : QObject(parent) {
    std::error_code ec;
    std::string key = std::filesystem::weakly_canonical(dataDir, ec).string();
    if (ec || key.empty()) key = dataDir;
    const std::string base =
        runtimeDir() + "/zadud-" + std::to_string(::getuid()) + "-" + hashed(key);
    lockPath_ = base + ".lock";
    socketPath_ = base + ".sock";
}

BookLock::~BookLock() {
    stopListening();
    if (lockFd_ >= 0) ::close(lockFd_); // the lock goes with it
}

void BookLock::stopListening() {
    if (listenFd_ < 0) return;
    delete notifier_;
    notifier_ = nullptr;
    ::unlink(socketPath_.c_str());
    ::close(listenFd_);
    listenFd_ = -1;
}

bool BookLock::acquire(int waitMs) {
    if (lockFd_ >= 0) return true;
    const int fd = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // Without a lock file (a read-only temporary folder) nothing can be
    // shared either: the copy runs as before.
    if (fd < 0) return true;
    for (int waited = 0;; waited += 50) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            lockFd_ = fd;
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            ::close(fd);
            return true;
        }
        if (waited >= waitMs) break;
        QThread::msleep(50);
    }
    ::close(fd);
    return false;
}

bool BookLock::listen(std::function<void()> raise) {
    raise_ = std::move(raise);
    sockaddr_un addr;
    if (!addressOf(socketPath_, addr)) return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    // A socket left by a copy that crashed: the lock says it is ours now.
    ::unlink(socketPath_.c_str());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0) {
        ::close(fd);
        return false;
    }
    listenFd_ = fd;
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { answer(); });
    return true;
}

void BookLock::answer() {
    for (;;) {
        const int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) return;
        char c = 0;
        // A start that connects says what it wants at once.
        if (readable(client, 1000) && ::read(client, &c, 1) == 1 && c == Raise) {
            if (raise_) raise_();
            const ssize_t sent = ::send(client, &Done, 1, MSG_NOSIGNAL);
            (void)sent;
        }
        ::close(client);
    }
}

bool BookLock::lockFree() const {
    if (lockFd_ >= 0) return false;
    const int fd = ::open(lockPath_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return true;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd); // and the lock with it
    return free;
}

bool BookLock::handOver(int waitMs) const {
    sockaddr_un addr;
    if (!addressOf(socketPath_, addr)) return false;
    for (int waited = 0;; waited += 50) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return false;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
            char c = 0;
            const bool ok = ::send(fd, &Raise, 1, MSG_NOSIGNAL) == 1 &&
                            readable(fd, std::max(waitMs - waited, 1000)) &&
                            ::read(fd, &c, 1) == 1 && c == Done;
            ::close(fd);
            return ok;
        }
        ::close(fd);
        // The running copy may not be listening yet; one that has gone, or
        // is going and no longer listens, leaves the lock to this start.
        if (waited >= waitMs || lockFree()) return false;
        QThread::msleep(50);
    }
}
