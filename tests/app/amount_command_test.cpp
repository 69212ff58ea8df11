// zadud --set-amount run as the user runs it: the cell written as typed,
// bad input refused with exit 2 and nothing written.
#include "tests/app/run_zadud.h"

#include <gtest/gtest.h>

TEST(SetAmountCommand, SetsOneCellOrRefusesBadInputWritingNothing) {
    TempFolder tmp;
    // kamo1=食費, kamo2=給与 in code page 932.
    writeBytes(tmp.file("ZADUD.CFG"),
               "ZADUD=" + tmp.path() + "\r\nkamo1=\x90\x48\x94\xEF\r\nkamo2=\x8B\x8B\x97\x5E\r\n");
    struct Case {
        const char* args;
        int code;
        const char* out;
        const char* err;   // a part of the message
        const char* month; // a part of December's file afterwards
    } cases[] = {
        {"2026-12-04 食費 expense 1,490", 0, "2026-12-04\t食費\texpense\t1490\n", "", "00001490"},
        {"2026-12-04 食費 支出 1,280", 0, "2026-12-04\t食費\texpense\t1280\n", "", "00001280"},
        {"2026-12-25 給与 income 300000", 0, "2026-12-25\t給与\tincome\t300000\n", "", "00300000"},
        {"2026-12-26 食費 expense -50", 0, "2026-12-26\t食費\texpense\t-50\n", "", "-00000050"},
        {"2026-12-04 食費 spent 1", 2, "", "spent は income", ""},
        {"2026-02-30 食費 expense 1", 2, "", "日付 2026-02-30", ""},
        {"2026-12-04 雑費 expense 1", 2, "", "項目「雑費」", ""},
        {"2026-12-04 食費 expense 3000000000", 2, "", "金額 3000000000", ""},
        {"2026-12-04 食費 expense abc", 2, "", "金額 abc", ""},
        {"2026-12-04 食費 expense", 2, "", "引数が足りません", ""},
        // Below the cell's lines (one of 300 on the 5th, added first).
        {"2026-12-05 食費 expense 200", 2, "", "内訳の合計 300", ""},
    };
    ASSERT_EQ(std::get<0>(runZadud(tmp, "--add-line 2026-12-05 食費 -300 x")), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const std::string month = readBytes(tmp.file("202612.txt"));
        const auto [code, out, err] = runZadud(tmp, std::string("--set-amount ") + c.args);
        EXPECT_EQ(code, c.code) << err;
        EXPECT_EQ(out, c.out);
        EXPECT_NE(err.find(c.err), std::string::npos) << err;
        if (c.code != 0) EXPECT_EQ(readBytes(tmp.file("202612.txt")), month);
        EXPECT_NE(readBytes(tmp.file("202612.txt")).find(c.month), std::string::npos);
    }
    // A typed amount is one step: --undo takes the last one back.
    const auto [code, out, err] = runZadud(tmp, "--undo");
    EXPECT_EQ(code, 0) << err;
    EXPECT_EQ(readBytes(tmp.file("202612.txt")).find("-00000050"), std::string::npos);
}
