#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/text_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <sstream>

TEST(Cp932, RoundTripsWhereItDiffersFromJisShiftJis) {
    struct Case {
        const char* utf8;
        std::string cp932;
    } cases[] = {
        {"～", "\x81\x60"},
        {"∥", "\x81\x61"},
        {"－", "\x81\x7C"},
        {"￢", "\x81\xCA"},
        {"①", "\x87\x40"},
        {"㈱", "\x87\x8A"},
        {"ｱｲｳｴｵﾞﾟ", "\xB1\xB2\xB3\xB4\xB5\xDE\xDF"},
        {"食費", "\x90\x48\x94\xEF"},
        {"A,b=1", "A,b=1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8ToCp932(c.utf8), c.cp932) << c.utf8;
        EXPECT_EQ(cp932ToUtf8(c.cp932), c.utf8) << c.utf8;
    }
}

TEST(Cp932, UnrepresentableTextIsAnErrorNotSilentLoss) {
    EXPECT_THROW(utf8ToCp932("家計 \xF0\x9F\x98\x80"), AppError); // an emoji
    EXPECT_THROW(cp932ToUtf8("\x81"), AppError);                  // a cut lead byte
    EXPECT_EQ(cp932ToUtf8Lossy("a\x81"), "a\xEF\xBF\xBD");
}

TEST(LineReader, CrEndsALineOneLfIsSkippedCtrlZEnds) {
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\rb", {"a", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\r\n\n", {"a", "\n"}}, // only one LF after CR is skipped
        {"a\nb\r\n", {"a\nb"}},   // a bare LF is part of the line
        {"a\r\n\x1a"
         "b\r\n",
         {"a"}}, // Ctrl-Z ends the file
        {"ab\x1a", {"ab"}},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.bytes);
        LineReader reader(in);
        std::vector<std::string> got;
        std::string line;
        while (reader.next(line))
            got.push_back(line);
        EXPECT_EQ(got, c.lines) << c.bytes;
        EXPECT_EQ(splitLines(c.bytes), c.lines) << c.bytes;
    }
}

TEST(Errors, ErrnoMapsToTheMessageTable) {
    EXPECT_STREQ(fileError(ENOENT, "/nonexistent-dir/x.txt").what(), "不正なﾌｧｲﾙ名です");
    EXPECT_STREQ(fileError(ENOENT, "/tmp/no-such-file.txt").what(), "ﾌｧｲﾙが見つかりません");
    EXPECT_STREQ(fileError(EACCES, "/tmp/x").what(), "ﾌｧｲﾙへのｱｸｾｽが拒否されました");
    EXPECT_STREQ(fileError(EROFS, "/tmp/x").what(), "ﾌｧｲﾙへのｱｸｾｽが拒否されました");
    EXPECT_STREQ(fileError(ENOSPC, "/tmp/x").what(), "ﾃﾞｨｽｸがいっぱいです");
    EXPECT_STREQ(fileError(EMFILE, "/tmp/x").what(), "ｵｰﾌﾟﾝしたﾌｧｲﾙが多すぎます");
    EXPECT_STREQ(fileError(EIO, "/tmp/x").what(), "I/O ｴﾗｰ (5)");
}

TEST(Errors, CheckedArithmeticAndRanges) {
    EXPECT_EQ(checkedAdd(INT32_MAX - 1, 1), INT32_MAX);
    EXPECT_EQ(checkedSub(INT32_MIN + 1, 1), INT32_MIN);
    EXPECT_THROW(checkedAdd(INT32_MAX, 1), AppError);
    EXPECT_THROW(checkedSub(INT32_MIN, 1), AppError);
    EXPECT_THROW(checkedSub(0, INT32_MIN), AppError);
    RangeArray<int, 1, 12> a;
    a[1] = 3;
    a[12] = 4;
    EXPECT_EQ(a[1] + a[12], 7);
    for (int bad : {0, 13, -1}) {
        try {
            a[bad] = 1;
            ADD_FAILURE() << bad;
        } catch (const AppError& e) {
            EXPECT_STREQ(e.what(), "範囲ﾁｪｯｸｴﾗｰ");
        }
    }
}
