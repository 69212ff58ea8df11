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

// Adds `bytes` in double quotes, a quote inside doubled: the side files'
// quoted fields. CP932 trail bytes are 0x40 and above, so a quote byte is
// always a quote.
void appendQuoted(std::string& out, const std::string& bytes);

// Joins a path and a file name with one "/" between them.
std::string joinPath(const std::string& dir, const std::string& name);

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
// Ends the names of the safe writer's temporary files, which start with ".".
inline constexpr const char* TempFileSuffix = ".zadud-tmp";
