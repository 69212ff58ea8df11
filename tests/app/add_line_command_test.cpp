// zadud --add-line run as the user runs it: the line and its cell written
// together, bad input refused with exit 2 and nothing written.
#include "tests/app/run_zadud.h"

#include <gtest/gtest.h>

TEST(AddLineCommand, AddsALineAndItsCellOrRefusesBadInputWritingNothing) {
    TempFolder tmp;
    // kamo1=食費, kamo2=給与 in code page 932.
    writeBytes(tmp.file("ZADUD.CFG"),
               "ZADUD=" + tmp.path() + "\r\nkamo1=\x90\x48\x94\xEF\r\nkamo2=\x8B\x8B\x97\x5E\r\n");
    struct Case {
        const char* args;
        int code;
        const char* out;
        const char* err; // a part of the message
    } cases[] = {
        {"2026-12-04 食費 -1,280 'ｽｰﾊﾟｰ #日用品'", 0, "2026-12-04\t食費\t-1280\tｽｰﾊﾟｰ #日用品\n",
         ""},
        {"2026-12-04 食費 -300 ''", 0, "2026-12-04\t食費\t-300\t\n", ""},
        {"2026-12-25 給与 300000 会社", 0, "2026-12-25\t給与\t300000\t会社\n", ""},
        {"2026-02-30 食費 -1 x", 2, "", "日付 2026-02-30"},
        {"2026/12/04 食費 -1 x", 2, "", "日付"},
        {"2026-12-04 雑費 -1 x", 2, "", "項目「雑費」"},
        {"2026-12-04 食費 0 x", 2, "", "金額 0"},
        {"2026-12-04 食費 -3000000000 x", 2, "", "金額"},
        {"2026-12-04 食費 abc x", 2, "", "金額 abc"},
        {"2026-12-04 食費 -1", 2, "", "引数が足りません"},
        {"2026-12-04 食費 -1 'a\tb'", 2, "", "制御文字"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const std::string lines = readBytes(tmp.file("202612.lin"));
        const std::string month = readBytes(tmp.file("202612.txt"));
        const auto [code, out, err] = runZadud(tmp, std::string("--add-line ") + c.args);
        EXPECT_EQ(code, c.code) << err;
        EXPECT_EQ(out, c.out);
        EXPECT_NE(err.find(c.err), std::string::npos) << err;
        if (c.code != 0) {
            EXPECT_EQ(readBytes(tmp.file("202612.lin")), lines);
            EXPECT_EQ(readBytes(tmp.file("202612.txt")), month);
        }
    }
    // The cell holds its lines; --find reads them back, newest first.
    const auto [code, out, err] = runZadud(tmp, "--find '項目:食費'");
    EXPECT_EQ(code, 0) << err;
    EXPECT_EQ(out, "2026-12-04\t食費\t-300\t\n2026-12-04\t食費\t-1280\tｽｰﾊﾟｰ #日用品\n");
    EXPECT_NE(readBytes(tmp.file("202612.txt")).find("1580"), std::string::npos);
}
