#include "ledger/cp932.h"

#include "ledger/errors.h"

#include <cerrno>
#include <cstdio>
#include <functional>
#include <iconv.h>
#include <mutex>

namespace {

// Message for bytes that are not CP932; the program's table has none, so it
// is worded like its neighbours.
constexpr const char* Undecodable = "Shift-JIS で表せない文字が含まれています";

// The escapes of undecodable bytes 0x80..0xFF.
constexpr char32_t EscapeBase = 0xF700;
constexpr char32_t EscapeFirst = 0xF780;
constexpr char32_t EscapeLast = 0xF7FF;

// Called for a sequence that cannot be converted, with its first byte; it
// appends what stands for that byte, and conversion resumes after it.
using BadByte = std::function<void(unsigned char, std::string&)>;

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) throw AppError("CP932 変換を初期化できません");
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Returns the input offset of the first sequence that cannot be
    // converted, or npos when all of it was; with `bad`, such a byte is
    // handed to it and skipped instead.
    std::size_t run(std::string_view in, std::string& out, const BadByte& bad) {
        std::lock_guard<std::mutex> lock(mutex_);
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        out.clear();
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        char buffer[1024];
        while (srcLeft > 0) {
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const std::size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, dst);
            if (rc != static_cast<std::size_t>(-1)) continue;
            if (errno == E2BIG) continue;
            if (!bad) return static_cast<std::size_t>(src - in.data());
            bad(static_cast<unsigned char>(*src), out);
            ++src;
            --srcLeft;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
        out.append(buffer, dst);
        return std::string_view::npos;
    }

private:
    iconv_t cd_;
    std::mutex mutex_;
};

Converter& toUtf8() {
    static Converter c("UTF-8", "CP932");
    return c;
}

Converter& fromUtf8() {
    static Converter c("CP932", "UTF-8");
    return c;
}

} // namespace

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b = byte(i);
    const int more = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    if (more == 0 || i + more >= s.size()) {
        ++i;
        return b;
    }
    char32_t c = b & (0x3F >> more);
    for (int k = 1; k <= more; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return b;
        }
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    i += more + 1;
    return c;
}

namespace {

std::string withWhere(const std::string& where, const char* joint, const std::string& text) {
    return where.empty() ? text : where + joint + text;
}

// A named character after a word: the corner brackets bring their own
// space, a control character's name needs one.
std::string afterWord(char32_t c) {
    const std::string d = describeChar(c);
    return d.rfind("「", 0) == 0 ? d : " " + d;
}

AppError unencodable(const std::string& where, char32_t c) {
    return AppError(
        withWhere(where, "に ", "Shift-JIS で表せない文字" + afterWord(c) + " が含まれています"));
}

} // namespace

std::string cp932ToUtf8(std::string_view cp932) {
    std::string out;
    if (toUtf8().run(cp932, out, nullptr) != std::string_view::npos) throw AppError(Undecodable);
    return out;
}

std::string utf8ToCp932(std::string_view utf8, const std::string& where) {
    std::string out;
    std::size_t at = fromUtf8().run(utf8, out, nullptr);
    if (at != std::string_view::npos) throw unencodable(where, nextCodePoint(utf8, at));
    return out;
}

std::string cp932ToUtf8Lossy(std::string_view cp932) {
    std::string out;
    toUtf8().run(cp932, out, [](unsigned char, std::string& o) { o += "\xEF\xBF\xBD"; });
    return out;
}

std::string cp932ToUtf8Preserving(std::string_view cp932) {
    std::string out;
    toUtf8().run(cp932, out,
                 [](unsigned char b, std::string& o) { appendUtf8(o, EscapeBase + b); });
    return out;
}

namespace {

// Encodes, then reads the bytes back: a character that comes back as
// another one is refused by name. With `escapes`, U+F780..U+F7FF stand for
// the bytes they were read from.
std::string encodeExactly(std::string_view utf8, const std::string& where, bool escapes) {
    std::string out;
    std::size_t start = 0;
    for (std::size_t i = 0; escapes && i < utf8.size();) {
        const std::size_t at = i;
        const char32_t c = nextCodePoint(utf8, i);
        if (c < EscapeFirst || c > EscapeLast) continue;
        out += utf8ToCp932(utf8.substr(start, at - start), where);
        out += static_cast<char>(c - EscapeBase);
        start = i;
    }
    out += utf8ToCp932(utf8.substr(start), where);

    // Encoder output always decodes; should it not, nothing matches below.
    std::string back;
    if (escapes)
        back = cp932ToUtf8Preserving(out);
    else
        toUtf8().run(out, back, [](unsigned char, std::string&) {});
    if (back == utf8) return out;
    std::size_t i = 0, j = 0;
    while (i < utf8.size()) {
        const char32_t typed = nextCodePoint(utf8, i);
        const char32_t read = j < back.size() ? nextCodePoint(back, j) : 0;
        if (typed != read)
            throw AppError(withWhere(where, "の",
                                     describeChar(typed) + " は Shift-JIS で" + afterWord(read) +
                                         " に変わります"));
    }
    throw AppError(withWhere(where, "に ", Undecodable));
}

} // namespace

std::string utf8ToCp932Exact(std::string_view utf8, const std::string& where) {
    return encodeExactly(utf8, where, false);
}

std::string utf8ToCp932Preserving(std::string_view utf8, const std::string& where) {
    return encodeExactly(utf8, where, true);
}

std::optional<char32_t> firstControl(std::string_view utf8, std::u32string_view allowed) {
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t c = nextCodePoint(utf8, i);
        const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
        if (control && allowed.find(c) == std::u32string_view::npos) return c;
    }
    return std::nullopt;
}

void refuseControls(std::string_view utf8, const std::string& where, std::u32string_view allowed) {
    if (const auto c = firstControl(utf8, allowed))
        throw AppError(withWhere(where, "に", "制御文字 " + describeChar(*c) + " は使えません"));
}

std::string describeChar(char32_t c) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    std::string name;
    if (c == 0x00)
        name = "NUL";
    else if (c == 0x09)
        name = "TAB";
    else if (c == 0x0A)
        name = "LF";
    else if (c == 0x0D)
        name = "CR";
    else if (c == 0x1B)
        name = "ESC";
    else if (c == 0x7F)
        name = "DEL";
    else if (c < 0x20)
        name = std::string("Ctrl-") + static_cast<char>('@' + c);
    else if (c >= 0x80 && c <= 0x9F)
        return code;
    if (!name.empty()) return name + " (" + code + ")";
    std::string glyph = "「";
    appendUtf8(glyph, c);
    return glyph + "」(" + code + ")";
}

char32_t cp932StoredAs(char32_t c) {
    if (c < 0x80 || (c >= EscapeFirst && c <= EscapeLast)) return c;
    std::string utf8, bytes, back;
    appendUtf8(utf8, c);
    try {
        bytes = utf8ToCp932(utf8);
        back = cp932ToUtf8(bytes);
    } catch (const AppError&) {
        return c; // not storable at all: the save names it
    }
    std::size_t i = 0;
    const char32_t read = nextCodePoint(back, i);
    return i == back.size() ? read : c;
}
