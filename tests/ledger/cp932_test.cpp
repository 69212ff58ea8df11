#include "ledger/cp932.h"
#include "ledger/errors.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

// Every code of the code page: the single bytes and each lead byte with
// each trail byte.
std::vector<std::string> allCodes() {
    std::vector<std::string> codes;
    for (int b = 0; b < 0x100; ++b)
        codes.push_back(std::string(1, static_cast<char>(b)));
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead >= 0xA0 && lead <= 0xDF) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail)
            if (trail != 0x7F) codes.push_back({static_cast<char>(lead), static_cast<char>(trail)});
    }
    return codes;
}

std::string messageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const AppError& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(Cp932Codes, EveryCodeReadsBackExceptTheDuplicatedOnes) {
    std::map<std::string, std::string> moved; // code -> the code its character encodes to
    std::string allBytes, allText;
    for (const std::string& code : allCodes()) {
        std::string text;
        try {
            text = cp932ToUtf8(code);
        } catch (const AppError&) {
            continue;
        }
        const std::string back = utf8ToCp932(text);
        if (back != code) {
            moved[code] = back;
            EXPECT_EQ(cp932ToUtf8(back), text) << "a duplicate reads as the same character";
        }
        EXPECT_EQ(utf8ToCp932Exact(text), back);
        allBytes += code;
        allText += text;
    }
    EXPECT_EQ(moved.size(), 398u);
    EXPECT_EQ(moved["\xEE\xE0"], "\xFB\xFC"); // 髙
    EXPECT_EQ(moved["\x87\x90"], "\x81\xE0"); // ≒
    EXPECT_EQ(moved["\xFA\x4A"], "\x87\x54"); // Ⅰ
    // The same codes in one text of many kilobytes convert as they do alone.
    ASSERT_GT(allBytes.size(), 10000u);
    EXPECT_EQ(cp932ToUtf8(allBytes), allText);
    EXPECT_EQ(cp932ToUtf8Preserving(allBytes), allText);
    EXPECT_EQ(cp932ToUtf8(utf8ToCp932(allText)), allText);
}

TEST(Cp932Codes, UndecodableBytesAreCarriedThroughText) {
    const std::string cases[] = {
        "abc\x80"
        "def",
        "\x81",
        "\x81\x7F",
        "\xA0\xFD\xFE\xFF",
        "\x82\xA0\xA0",
        std::string(3000, '\xFF') + "\x93\xfa\x8b\x4c" + std::string(2000, '\x80'),
    };
    for (const std::string& bytes : cases) {
        const std::string text = cp932ToUtf8Preserving(bytes);
        EXPECT_EQ(utf8ToCp932Preserving(text), bytes) << bytes.size();
    }
    EXPECT_EQ(cp932ToUtf8Preserving("a\x80"), "a\xEF\x9E\x80"); // U+F780
}

TEST(Cp932Codes, TextThatWouldNotReadBackIsRefusedByName) {
    const struct {
        const char* text;
        bool preserving;
        const char* message;
    } cases[] = {
        {"C:¥", false, "場所の「¥」(U+00A5) は Shift-JIS で「\\」(U+005C) に変わります"},
        {"\xEF\x9E\x80", false,
         "場所に Shift-JIS で表せない文字「\xEF\x9E\x80」(U+F780) が含まれています"},
        // An escaped lead byte would join the letter after it.
        {"\xEF\x9E\x81"
         "A",
         true, "場所の「\xEF\x9E\x81」(U+F781) は Shift-JIS で「、」(U+3001) に変わります"},
    };
    for (const auto& c : cases) {
        const auto encode = c.preserving ? utf8ToCp932Preserving : utf8ToCp932Exact;
        EXPECT_EQ(messageOf([&] { encode(c.text, "場所"); }), c.message) << c.text;
    }
    EXPECT_EQ(utf8ToCp932("家計簿〜"), "\x89\xc6\x8c\x76\x95\xeb\x81\x60") << "the common encoder";
}

} // namespace
