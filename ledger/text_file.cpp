#include "ledger/text_file.h"

#include "ledger/errors.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int CtrlZ = 26;
WriteFaultHook g_faultHook;

int injectedFault(const std::string& path, const char* step) {
    return g_faultHook ? g_faultHook(path, step) : 0;
}

} // namespace

bool LineReader::next(std::string& line) {
    line.clear();
    if (ended_) return false;
    bool any = false;
    for (;;) {
        const int c = in_.get();
        if (c == std::char_traits<char>::eof()) {
            if (in_.bad()) throw fileError(EIO, "");
            ended_ = true;
            return any;
        }
        if (c == CtrlZ) {
            ended_ = true;
            return any;
        }
        if (c == '\r') {
            if (in_.peek() == '\n') in_.get();
            if (in_.bad()) throw fileError(EIO, "");
            return true;
        }
        line.push_back(static_cast<char>(c));
        any = true;
    }
}

std::vector<std::string> splitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::string line;
    bool any = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == CtrlZ) break;
        if (c == '\r') {
            lines.push_back(line);
            line.clear();
            any = false;
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
            continue;
        }
        line.push_back(c);
        any = true;
    }
    if (any) lines.push_back(line);
    return lines;
}

std::string joinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

std::string readFileBytes(const std::string& path) {
    std::string bytes;
    if (int err = tryReadFileBytes(path, bytes)) throw fileError(err, path);
    return bytes;
}

int tryReadFileBytes(const std::string& path, std::string& bytes) {
    bytes.clear();
    if (int err = injectedFault(path, "read")) return err;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return EISDIR;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            throw fileError(err, path);
        }
        if (n == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return 0;
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void setWriteFaultHook(WriteFaultHook hook) {
    g_faultHook = std::move(hook);
}

void writeFileSafely(const std::string& path, const std::string& bytes) {
    const auto slash = path.find_last_of('/');
    const std::string dir =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    if (!isDirectory(dir)) throw fileError(ENOENT, path);

    // The new file keeps the old one's permissions; a file nobody may write
    // is read-only, and replacing it would bypass that.
    mode_t mode = 0666;
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0) {
        if (S_ISDIR(old.st_mode)) throw fileError(EISDIR, path);
        if ((old.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0)
            throw fileError(EACCES, path);
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }

    if (int err = injectedFault(path, "open")) throw fileError(err, path);
    std::string tmp = path + ".XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) throw fileError(errno, path);

    auto fail = [&](int err) {
        ::close(fd);
        ::unlink(tmp.c_str());
        throw fileError(err, path);
    };

    std::size_t done = 0;
    while (done < bytes.size()) {
        // A fault injected at "write" hits after half the bytes, as a full
        // disk would.
        const std::size_t chunk = bytes.size() - done;
        if (int err = injectedFault(path, "write")) {
            (void)!::write(fd, bytes.data() + done, chunk / 2);
            fail(err);
        }
        const ssize_t n = ::write(fd, bytes.data() + done, chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (bytes.empty()) {
        if (int err = injectedFault(path, "write")) fail(err);
    }
    if (::fchmod(fd, mode) != 0) fail(errno);
    if (::fsync(fd) != 0) fail(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        throw fileError(err, path);
    }
    int err = injectedFault(path, "rename");
    if (err == 0 && ::rename(tmp.c_str(), path.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(tmp.c_str());
        throw fileError(err, path);
    }
}
