#pragma once
// The account book's files on the disk: the FileStore the program runs with.

#include "ledger/file_store.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

class DiskStore : public FileStore {
public:
    // Asked before each step of writeSafely ("open": creating the temporary
    // file or opening the file in place, "write", "chmod", "sync", "close",
    // "rename", "dirsync"), of appendDurably ("open", "write", "sync"), of
    // remove ("remove") and before a file is opened for reading ("read"); a
    // non-zero errno it returns fails that step. A fault at "write" hits
    // after half the bytes, as a full disk would.
    using Faults = std::function<int(const std::string& path, const std::string& step)>;
    // Every flush goes through this call (fsync by default).
    using SyncCall = std::function<int(int fd)>;

    DiskStore() = default;
    explicit DiskStore(Faults faults, SyncCall sync = nullptr)
        : faults_(std::move(faults)), sync_(std::move(sync)) {}
    void setFaults(Faults faults) { faults_ = std::move(faults); }
    void setSync(SyncCall sync) { sync_ = std::move(sync); }

    int tryRead(const std::string& path, std::string& bytes) override;
    // The bytes go to a hidden temporary file in the same folder
    // (TempFileSuffix), are flushed, take the old file's permissions and are
    // renamed over the old file; then the folder is flushed so that the
    // rename survives a power cut. An existing file without write permission
    // is refused with "ﾌｧｲﾙへのｱｸｾｽが拒否されました", as a read-only file is.
    //
    // Where a rename would not do what writing the file does, the file is
    // written in place instead: a symbolic link is followed (the file it
    // names is replaced beside itself, the link stays), a file with several
    // hard links keeps them, and a folder that refuses new files does not
    // stop a save onto a writable file in it (a full disk is never such a
    // case). After a successful save, temporary files of ours in that folder
    // older than a minute (left by a save that was killed) are removed.
    void writeSafely(const std::string& path, const std::string& bytes) override;
    // The files' new bytes are all written before one flush of the file
    // system takes them together, then renamed in order, then each folder
    // is flushed once: a dozen files cost about what one does. Faults are
    // asked as for writeSafely, "sync" once for the whole batch (at the
    // first file) and "dirsync" once per folder.
    void writeAllSafely(const std::vector<std::pair<std::string, std::string>>& files) override;
    void appendDurably(const std::string& path, const std::string& bytes) override;
    int list(const std::string& folder, std::vector<std::string>& names) override;
    void remove(const std::string& path) override;
    bool isDirectory(const std::string& path) override;
    std::string fileKey(const std::string& path) override;
    int64_t modifiedTime(const std::string& path) override;
    uint64_t freeSpace(const std::string& folder) override;
    int makeFolder(const std::string& path) override;

private:
    int fault(const std::string& path, const char* step) const {
        return faults_ ? faults_(path, step) : 0;
    }
    // A new file written, not yet flushed nor in place.
    struct Staged {
        std::string path, folder, tmp;
        int fd = -1;
    };
    // False when the file had to be written in place instead (see writeSafely).
    bool stage(const std::string& path, const std::string& bytes, Staged& staged);
    int close(Staged& staged, bool flush);
    int rename(Staged& staged);
    void discard(Staged& staged);
    int syncFd(int fd) const;
    // Flushes the whole file system the file is on.
    int syncAll(int fd) const;
    int writeAll(int fd, const std::string& path, const std::string& bytes) const;
    void writeInPlace(const std::string& path, const std::string& bytes, bool regular) const;
    void flushFolder(const std::string& folder, const std::string& path) const;

    Faults faults_;
    SyncCall sync_;
};

// Whether a path names an existing directory, for callers without a store
// (the command line's and the windows' folder checks).
bool isDirectory(const std::string& path);
