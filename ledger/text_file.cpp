#include "ledger/text_file.h"

#include "ledger/errors.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int CtrlZ = 26;
WriteFaultHook g_faultHook;
SyncCall g_sync;
BackupHook g_backup;
// The backup store writes its own files through the writer; those saves keep
// nothing.
thread_local bool t_inBackup = false;

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
    forEachLine(bytes, [&](std::string_view line) { lines.emplace_back(line); });
    return lines;
}

void forEachLine(std::string_view bytes, const std::function<void(std::string_view)>& fn) {
    const std::size_t end = std::min(bytes.find(char(CtrlZ)), bytes.size());
    std::size_t start = 0;
    while (start < end) {
        const std::size_t cr = bytes.find('\r', start);
        if (cr >= end) {
            fn(bytes.substr(start, end - start));
            return;
        }
        fn(bytes.substr(start, cr - start));
        start = cr + 1;
        if (start < end && bytes[start] == '\n') ++start;
    }
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

std::string fileKey(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return path;
    char folder[PATH_MAX];
    if (!::realpath(slash == 0 ? "/" : path.substr(0, slash).c_str(), folder)) return path;
    return joinPath(folder, path.substr(slash + 1));
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void setWriteFaultHook(WriteFaultHook hook) {
    g_faultHook = std::move(hook);
}

void setBackupHook(BackupHook hook) {
    g_backup = std::move(hook);
}

void setSyncCall(SyncCall sync) {
    g_sync = std::move(sync);
}

FileStamp stampOf(const std::string& bytes) {
    return {true, bytes.size(), std::hash<std::string>{}(bytes)};
}

FileStamp currentStamp(const std::string& path) {
    std::string bytes;
    const int err = tryReadFileBytes(path, bytes);
    if (err == ENOENT || err == ENOTDIR) return {};
    if (err) throw fileError(err, path);
    return stampOf(bytes);
}

namespace {

int syncFd(int fd) {
    return g_sync ? g_sync(fd) : ::fsync(fd);
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

std::string nameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a path names once symbolic links are followed; it need not exist
// (a dangling link is written through, as opening it would).
std::string followLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0) throw fileError(errno, path);
        target.resize(static_cast<std::size_t>(n));
        path = !target.empty() && target[0] == '/' ? target : joinPath(folderOf(path), target);
    }
    throw fileError(ELOOP, path);
}

// Writes all bytes at the file's offset; 0 or the errno. A fault injected at
// "write" hits after half the bytes, as a full disk would.
int writeAll(int fd, const std::string& path, const std::string& bytes) {
    if (int err = injectedFault(path, "write")) {
        (void)!::write(fd, bytes.data(), bytes.size() / 2);
        return err;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// The plain write, for where a rename would not replace what the file is.
void writeInPlace(const std::string& path, const std::string& bytes, bool regular) {
    int err = injectedFault(path, "open");
    const int fd = err ? -1 : ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) throw fileError(err ? err : errno, path);
    // Overwriting first and cutting the rest afterwards needs no new space
    // for the old length, so a full disk is met half-way less often.
    err = writeAll(fd, path, bytes);
    if (!err && regular && ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0) err = errno;
    if (!err) err = injectedFault(path, "sync");
    if (!err && regular && syncFd(fd) != 0) err = errno;
    if (::close(fd) != 0 && !err) err = errno;
    if (err) throw fileError(err, path);
}

// Makes the rename itself durable.
void flushFolder(const std::string& folder, const std::string& path) {
    int err = injectedFault(path, "dirsync");
    if (err == 0) {
        // A folder that cannot be opened cannot be flushed; the file's bytes
        // already are.
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return;
        // Some file systems cannot flush a folder and say so.
        if (syncFd(fd) != 0 && errno != EINVAL && errno != ENOTSUP) err = errno;
        ::close(fd);
    }
    if (err) throw fileError(err, path);
}

// Temporary files of ours left by a save that was killed. Only our own
// (same owner) and only old ones: another copy of the program may be saving
// in this folder right now.
void removeStaleTempFiles(const std::string& folder) {
    DIR* d = ::opendir(folder.c_str());
    if (!d) return;
    const std::time_t now = std::time(nullptr);
    const std::size_t suffix = std::strlen(TempFileSuffix);
    while (const dirent* entry = ::readdir(d)) {
        const char* name = entry->d_name;
        const std::size_t length = std::strlen(name);
        if (name[0] != '.' || length <= suffix + 1 ||
            std::strcmp(name + length - suffix, TempFileSuffix) != 0)
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(d), name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || now - st.st_mtime <= 60) continue;
        ::unlinkat(::dirfd(d), name, 0);
    }
    ::closedir(d);
}

} // namespace

namespace {

void replaceFile(const std::string& requested, const std::string& bytes) {
    const std::string path = followLinks(requested);
    const std::string folder = folderOf(path);
    if (!isDirectory(folder)) throw fileError(ENOENT, path);

    // The new file keeps the old one's permissions; a file nobody may write
    // is read-only, and replacing it would bypass that.
    mode_t mode = 0666;
    struct stat old {};
    const bool exists = ::stat(path.c_str(), &old) == 0;
    if (exists) {
        if (S_ISDIR(old.st_mode)) throw fileError(EISDIR, path);
        if ((old.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0)
            throw fileError(EACCES, path);
        mode = old.st_mode & 07777;
        // A rename would split the file from its other names.
        if (old.st_nlink > 1 || !S_ISREG(old.st_mode)) {
            writeInPlace(path, bytes, S_ISREG(old.st_mode));
            return;
        }
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }

    // Hidden, and ours by its suffix; the name is cut so that a long file
    // name still leaves room for it.
    std::string tmp =
        joinPath(folder, "." + nameOf(path).substr(0, 100) + ".XXXXXX" + TempFileSuffix);
    int err = injectedFault(path, "open");
    const int fd = err ? -1 : ::mkstemps(tmp.data(), static_cast<int>(std::strlen(TempFileSuffix)));
    if (fd < 0) {
        if (!err) err = errno;
        // A folder that refuses new files does not stop the plain write onto
        // a writable file in it; a full disk does, and is reported.
        if (exists && (err == EACCES || err == EPERM)) {
            writeInPlace(path, bytes, true);
            return;
        }
        throw fileError(err, path);
    }

    err = writeAll(fd, path, bytes);
    // Made 0600; without this the file would lose its permissions.
    if (!err) err = injectedFault(path, "chmod");
    if (!err && ::fchmod(fd, mode) != 0) err = errno;
    if (!err) err = injectedFault(path, "sync");
    if (!err && syncFd(fd) != 0) err = errno;
    if (!err) err = injectedFault(path, "close");
    if (::close(fd) != 0 && !err) err = errno;
    if (!err) err = injectedFault(path, "rename");
    if (!err && ::rename(tmp.c_str(), path.c_str()) != 0) err = errno;
    if (err) {
        ::unlink(tmp.c_str());
        throw fileError(err, path);
    }
    flushFolder(folder, path);
    removeStaleTempFiles(folder);
}

} // namespace

void writeFileSafely(const std::string& path, const std::string& bytes) {
    const bool keep = g_backup.watches && !t_inBackup && g_backup.watches(path);
    std::string old;
    // A file that cannot be read has no version to keep; the save itself
    // reports what is wrong with it.
    bool hadOld = false;
    if (keep) try {
            hadOld = tryReadFileBytes(path, old) == 0;
        } catch (const std::exception&) {
        }
    replaceFile(path, bytes);
    if (!hadOld || old == bytes) return;
    t_inBackup = true;
    try {
        g_backup.replaced(path, old, bytes);
    } catch (...) {
    }
    t_inBackup = false;
}

void removeFile(const std::string& path) {
    int err = injectedFault(path, "remove");
    if (!err && ::unlink(path.c_str()) != 0 && errno != ENOENT) err = errno;
    if (err) throw fileError(err, path);
}

void appendFileDurably(const std::string& requested, const std::string& bytes) {
    const std::string path = followLinks(requested);
    if (!isDirectory(folderOf(path))) throw fileError(ENOENT, path);
    struct stat before {};
    const bool existed = ::stat(path.c_str(), &before) == 0;
    int err = injectedFault(path, "open");
    const int fd = err ? -1 : ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) throw fileError(err ? err : errno, path);
    err = writeAll(fd, path, bytes);
    if (!err) err = injectedFault(path, "sync");
    if (!err && syncFd(fd) != 0) err = errno;
    // A part written before a failure would leave a torn line in the file;
    // cutting it back keeps what was there whole.
    if (err) (void)!::ftruncate(fd, existed ? before.st_size : 0);
    if (::close(fd) != 0 && !err) err = errno;
    if (err) throw fileError(err, path);
    if (!existed) flushFolder(folderOf(path), path);
}
