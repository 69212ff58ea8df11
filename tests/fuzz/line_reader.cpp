// The CR LF line reader, both forms, against a reference of the line rule:
// CR ends a line and swallows one LF right after it; Ctrl-Z or the end ends
// the file; a last line without CR counts only when it holds a byte.
#include "ledger/text_file.h"
#include "tests/fuzz/fuzz_check.h"

#include <sstream>
#include <vector>

namespace {

std::vector<std::string> reference(const std::string& bytes) {
    std::vector<std::string> lines;
    std::string line;
    std::size_t i = 0;
    for (; i < bytes.size() && bytes[i] != 26; ++i) {
        if (bytes[i] != '\r') {
            line += bytes[i];
            continue;
        }
        lines.push_back(line);
        line.clear();
        if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string bytes = fuzzBytes(data, size);
    const std::vector<std::string> expected = reference(bytes);
    FUZZ_CHECK(splitLines(bytes) == expected, "splitLines follows the line rule");

    std::istringstream in(bytes);
    LineReader reader(in);
    std::vector<std::string> read;
    std::string line;
    while (reader.next(line))
        read.push_back(line);
    FUZZ_CHECK(read == expected, "LineReader follows the line rule");
    FUZZ_CHECK(!reader.next(line) && line.empty(), "an ended reader stays ended");
    return 0;
}
