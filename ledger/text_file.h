#pragma once
// Text files of the program: CR LF lines in code page 932. A line ends at CR
// (one LF right after it is skipped); byte 26 (Ctrl-Z) or the physical end
// ends the file.

#include <functional>
#include <istream>
#include <string>
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

// Joins a path and a file name with one "/" between them.
std::string joinPath(const std::string& dir, const std::string& name);

// Reads a whole file. Failing to open throws the mapped file error.
std::string readFileBytes(const std::string& path);

// Reads a whole file; returns the errno of a failed open (0 on success) and
// throws the mapped file error when reading fails after the file was opened.
int tryReadFileBytes(const std::string& path, std::string& bytes);

// Whether a path names an existing directory.
bool isDirectory(const std::string& path);

// Replaces `path` with `bytes` without ever leaving it half-written: the
// bytes go to a temporary file in the same directory that is then renamed
// over the old one. On failure the old file stays as it was and the mapped
// file error is thrown. An existing file without write permission is refused
// with "ﾌｧｲﾙへのｱｸｾｽが拒否されました", as a read-only file is.
void writeFileSafely(const std::string& path, const std::string& bytes);

// Test seam: when set, it is asked before each step of writeFileSafely
// ("open", "write", "rename") and before a file is opened for reading
// ("read"); a non-zero errno it returns fails that step.
using WriteFaultHook = std::function<int(const std::string& path, const std::string& step)>;
void setWriteFaultHook(WriteFaultHook hook);
