#pragma once
// Text files of the program: CR LF lines in code page 932. A line ends at CR
// (one LF right after it is skipped); byte 26 (Ctrl-Z) or the physical end
// ends the file.

#include <cstdint>
#include <functional>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

class LineReader {
public:
    explicit LineReader(std::istream& in) : in_(in) {}
    // Reads the next line without its end; false at the end of the file.
    // A read error throws the I/O error.
    bool next(std::string& line);

private:
    std::istream& in_;
    bool ended_ = false;
};

// All lines of a text held in memory, by the same rules.
std::vector<std::string> splitLines(const std::string& bytes);
// The same, line by line without copies.
void forEachLine(std::string_view bytes, const std::function<void(std::string_view line)>& fn);

// Joins a path and a file name with one "/" between them.
std::string joinPath(const std::string& dir, const std::string& name);

// Reads a whole file. Failing to open throws the mapped file error.
std::string readFileBytes(const std::string& path);

// What a file held when it was read: whether it existed, its size and a hash
// of its bytes. A later save compares it with the file on disk to notice
// another program's change. The modification time is left out on purpose:
// on coarse-grained file systems it can miss a change, and a file merely
// touched, with the same bytes, loses nothing when it is replaced.
struct FileStamp {
    bool exists = false;
    uint64_t size = 0;
    std::size_t hash = 0;
    bool operator==(const FileStamp& o) const {
        return exists == o.exists && size == o.size && hash == o.hash;
    }
    bool operator!=(const FileStamp& o) const { return !(*this == o); }
};
FileStamp stampOf(const std::string& bytes);
// The file as it is now: a missing file (or folder) gives a stamp that does
// not exist; a file that cannot be read throws the mapped file error.
FileStamp currentStamp(const std::string& path);

// Reads a whole file; returns the errno of a failed open (0 on success) and
// throws the mapped file error when reading fails after the file was opened.
int tryReadFileBytes(const std::string& path, std::string& bytes);

// One file under any spelling of its folder ("..", a linked folder): the
// path with its folder resolved, or the path itself when that fails.
std::string fileKey(const std::string& path);

// Whether a path names an existing directory.
bool isDirectory(const std::string& path);

// Replaces `path` with `bytes` without ever leaving it half-written: the
// bytes go to a hidden temporary file in the same folder (TempFileSuffix),
// are flushed, take the old file's permissions and are renamed over the old
// file; then the folder is flushed so that the rename survives a power cut.
// On failure the old file stays as it was, no temporary file is left, and
// the mapped file error is thrown. An existing file without write permission
// is refused with "ﾌｧｲﾙへのｱｸｾｽが拒否されました", as a read-only file is.
//
// Where a rename would not do what writing the file does, the file is
// written in place instead: a symbolic link is followed (the file it names
// is replaced beside itself, the link stays), a file with several hard links
// keeps them, and a folder that refuses new files does not stop a save onto
// a writable file in it (a full disk is never such a case). A failure while
// writing in place is reported like any other.
//
// After a successful save, temporary files of ours in that folder older
// than a minute (left by a save that was killed) are removed.
void writeFileSafely(const std::string& path, const std::string& bytes);

// The seam through which every save keeps the version it replaces: when
// set, writeFileSafely asks `watches` whether the path is one to keep, reads
// the old bytes before writing and, once the new bytes are in place, hands
// both to `replaced`. `replaced` must not throw: a backup that fails never
// fails the save.
struct BackupHook {
    std::function<bool(const std::string& path)> watches;
    std::function<void(const std::string& path, const std::string& oldBytes,
                       const std::string& newBytes)>
        replaced;
};
void setBackupHook(BackupHook hook);

// Adds `bytes` at the end of `path` (created when missing) and flushes it,
// for files that only ever grow, where rewriting the whole file for each
// line would cost its length every time. A failure cuts the file back to its
// old length and throws the mapped file error.
void appendFileDurably(const std::string& path, const std::string& bytes);

// Removes a file; a missing one is no failure. Goes through the fault seam
// ("remove").
void removeFile(const std::string& path);

// Ends the names of the writer's temporary files, which start with ".".
inline constexpr const char* TempFileSuffix = ".zadud-tmp";

// Test seam: when set, it is asked before each step of writeFileSafely
// ("open": creating the temporary file or opening the file in place,
// "write", "chmod", "sync", "close", "rename", "dirsync"), of
// appendFileDurably ("open", "write", "sync") and removeFile ("remove"), and
// before a file is opened for reading ("read"); a non-zero errno it returns fails that
// step.
using WriteFaultHook = std::function<int(const std::string& path, const std::string& step)>;
void setWriteFaultHook(WriteFaultHook hook);

// Test and benchmark seam: every flush of writeFileSafely goes through this
// call (fsync by default).
using SyncCall = std::function<int(int fd)>;
void setSyncCall(SyncCall sync);
