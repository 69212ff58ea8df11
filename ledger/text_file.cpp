#include "ledger/text_file.h"

#include "ledger/errors.h"

#include <algorithm>
#include <cerrno>

namespace {

constexpr int CtrlZ = 26;

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

FileStamp stampOf(const std::string& bytes) {
    return {true, bytes.size(), std::hash<std::string>{}(bytes)};
}

void appendQuoted(std::string& out, const std::string& bytes) {
    out += '"';
    for (char c : bytes) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}
