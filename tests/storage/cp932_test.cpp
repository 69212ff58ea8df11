#include "ledger/cp932.h"
#include "ledger/errors.h"

#include <gtest/gtest.h>

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

// Undecodable bytes ride through text as escapes, at any length; an escape
// that would join the byte after it into a character is refused.
TEST(Cp932Codes, UndecodableBytesAreCarriedThroughText) {
    const std::string bytes = "a\x80\x81\x7F\xA0\x82\xA0" + std::string(3000, '\xFD') + "\x81";
    EXPECT_EQ(utf8ToCp932Preserving(cp932ToUtf8Preserving(bytes)), bytes);
    EXPECT_EQ(cp932ToUtf8Preserving("a\x80"), "a\xEF\x9E\x80"); // U+F780
    EXPECT_THROW(utf8ToCp932Preserving("\xEF\x9E\x81"
                                       "A"),
                 AppError); // 81 41 reads as 、
    EXPECT_THROW(utf8ToCp932Exact("\xEF\x9E\x80"), AppError);
}

} // namespace
