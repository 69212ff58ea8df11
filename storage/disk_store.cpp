#include "storage/disk_store.h"

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
#include <sys/statvfs.h>
#include <unistd.h>

int DiskStore::tryRead(const std::string& path, std::string& bytes) {
    bytes.clear();
    if (int err = fault(path, "read")) return err;
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

std::string DiskStore::fileKey(const std::string& path) {
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

bool DiskStore::isDirectory(const std::string& path) {
    return ::isDirectory(path);
}

int DiskStore::list(const std::string& folder, std::vector<std::string>& names) {
    names.clear();
    DIR* d = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!d) return errno;
    while (const dirent* e = ::readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.emplace_back(e->d_name);
    ::closedir(d);
    return 0;
}

int64_t DiskStore::modifiedTime(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_mtime) : -1;
}

uint64_t DiskStore::freeSpace(const std::string& folder) {
    struct statvfs st {};
    if (::statvfs(folder.c_str(), &st) != 0) return UINT64_MAX;
    return static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
}

int DiskStore::makeFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) == 0) return 0;
    const int err = errno;
    return err == EEXIST && isDirectory(path) ? 0 : err;
}

namespace {

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

int DiskStore::syncFd(int fd) const {
    return sync_ ? sync_(fd) : ::fsync(fd);
}

int DiskStore::syncAll(int fd) const {
    return sync_ ? sync_(fd) : ::syncfs(fd);
}

// Writes all bytes at the file's offset; 0 or the errno. A fault injected at
// "write" hits after half the bytes, as a full disk would.
int DiskStore::writeAll(int fd, const std::string& path, const std::string& bytes) const {
    if (int err = fault(path, "write")) {
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
void DiskStore::writeInPlace(const std::string& path, const std::string& bytes,
                             bool regular) const {
    int err = fault(path, "open");
    const int fd = err ? -1 : ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) throw fileError(err ? err : errno, path);
    // Overwriting first and cutting the rest afterwards needs no new space
    // for the old length, so a full disk is met half-way less often.
    err = writeAll(fd, path, bytes);
    if (!err && regular && ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0) err = errno;
    if (!err) err = fault(path, "sync");
    if (!err && regular && syncFd(fd) != 0) err = errno;
    if (::close(fd) != 0 && !err) err = errno;
    if (err) throw fileError(err, path);
}

// Makes the rename itself durable.
void DiskStore::flushFolder(const std::string& folder, const std::string& path) const {
    int err = fault(path, "dirsync");
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

bool DiskStore::stage(const std::string& requested, const std::string& bytes, Staged& staged) {
    const std::string path = followLinks(requested);
    const std::string folder = folderOf(path);
    if (!::isDirectory(folder)) throw fileError(ENOENT, path);

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
            return false;
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
    int err = fault(path, "open");
    const int fd = err ? -1 : ::mkstemps(tmp.data(), static_cast<int>(std::strlen(TempFileSuffix)));
    if (fd < 0) {
        if (!err) err = errno;
        // A folder that refuses new files does not stop the plain write onto
        // a writable file in it; a full disk does, and is reported.
        if (exists && (err == EACCES || err == EPERM)) {
            writeInPlace(path, bytes, true);
            return false;
        }
        throw fileError(err, path);
    }

    err = writeAll(fd, path, bytes);
    // Made 0600; without this the file would lose its permissions.
    if (!err) err = fault(path, "chmod");
    if (!err && ::fchmod(fd, mode) != 0) err = errno;
    if (err) {
        ::close(fd);
        ::unlink(tmp.c_str());
        throw fileError(err, path);
    }
    staged = {path, folder, tmp, fd};
    return true;
}

int DiskStore::close(Staged& staged, bool flush) {
    int err = flush ? fault(staged.path, "sync") : 0;
    if (!err && flush && syncFd(staged.fd) != 0) err = errno;
    if (!err) err = fault(staged.path, "close");
    if (::close(staged.fd) != 0 && !err) err = errno;
    staged.fd = -1;
    return err;
}

int DiskStore::rename(Staged& staged) {
    int err = fault(staged.path, "rename");
    if (!err && ::rename(staged.tmp.c_str(), staged.path.c_str()) != 0) err = errno;
    if (!err) staged.tmp.clear();
    return err;
}

void DiskStore::discard(Staged& staged) {
    if (staged.fd >= 0) ::close(staged.fd);
    if (!staged.tmp.empty()) ::unlink(staged.tmp.c_str());
    staged.fd = -1;
    staged.tmp.clear();
}

void DiskStore::writeSafely(const std::string& path, const std::string& bytes) {
    Staged staged;
    if (!stage(path, bytes, staged)) return;
    int err = close(staged, true);
    if (!err) err = rename(staged);
    if (err) {
        discard(staged);
        throw fileError(err, staged.path);
    }
    flushFolder(staged.folder, staged.path);
    removeStaleTempFiles(staged.folder);
}

void DiskStore::writeAllSafely(const std::vector<std::pair<std::string, std::string>>& files) {
    if (files.size() < 2) return FileStore::writeAllSafely(files);
    // Every new file is written before one flush of the file system takes
    // them all; then the renames, then one flush per folder. Until the first
    // rename each file is its old self; a failure after it leaves the files
    // before the failing one new and the rest old, each whole.
    std::vector<Staged> staged;
    staged.reserve(files.size());
    try {
        for (const auto& [path, bytes] : files) {
            Staged s;
            if (stage(path, bytes, s)) staged.push_back(std::move(s));
        }
        if (!staged.empty()) {
            int err = fault(staged.front().path, "sync");
            if (!err && syncAll(staged.front().fd) != 0) err = errno;
            if (err) throw fileError(err, staged.front().path);
        }
        for (Staged& s : staged)
            if (const int err = close(s, false)) throw fileError(err, s.path);
        for (Staged& s : staged)
            if (const int err = rename(s)) throw fileError(err, s.path);
    } catch (...) {
        for (Staged& s : staged)
            discard(s);
        throw;
    }
    std::vector<std::string> flushed;
    for (const Staged& s : staged) {
        if (std::find(flushed.begin(), flushed.end(), s.folder) != flushed.end()) continue;
        flushFolder(s.folder, s.path);
        flushed.push_back(s.folder);
    }
    for (const std::string& folder : flushed)
        removeStaleTempFiles(folder);
}

void DiskStore::remove(const std::string& path) {
    int err = fault(path, "remove");
    if (!err && ::unlink(path.c_str()) != 0 && errno != ENOENT) err = errno;
    if (err) throw fileError(err, path);
}

void DiskStore::appendDurably(const std::string& requested, const std::string& bytes) {
    const std::string path = followLinks(requested);
    if (!::isDirectory(folderOf(path))) throw fileError(ENOENT, path);
    struct stat before {};
    const bool existed = ::stat(path.c_str(), &before) == 0;
    int err = fault(path, "open");
    const int fd = err ? -1 : ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) throw fileError(err ? err : errno, path);
    err = writeAll(fd, path, bytes);
    if (!err) err = fault(path, "sync");
    if (!err && syncFd(fd) != 0) err = errno;
    // A part written before a failure would leave a torn line in the file;
    // cutting it back keeps what was there whole.
    if (err) (void)!::ftruncate(fd, existed ? before.st_size : 0);
    if (::close(fd) != 0 && !err) err = errno;
    if (err) throw fileError(err, path);
    if (!existed) flushFolder(folderOf(path), path);
}
