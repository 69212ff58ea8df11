// zadud --find run as the user runs it: the line files of the ledger folder
// searched, one line per hit, and the exit codes.
#include "tests/app/run_zadud.h"

#include <gtest/gtest.h>
#include <tuple>

TEST(FindCommand, PrintsLinesNewestFirstWithItsExitCodes) {
    TempFolder tmp;
    writeBytes(tmp.file("ZADUD.CFG"), "ZADUD=" + tmp.path() + "\r\n");
    // 食費 / 給与 / ドラッグストア #日用品 / 会社, in code page 932.
    const std::string food = "\x90\x48\x94\xEF", pay = "\x8B\x8B\x97\x5E";
    writeBytes(tmp.file("202612.lin"),
               "ZADUD-LINES,1\r\n"
               "4,1,\"" +
                   food +
                   "\",1500,T,\"\",\"\x83h\x83\x89\x83\x62\x83O\x83X\x83g\x83\x41 "
                   "#\x93\xfa\x97\x70\x95\x69\"\r\n"
                   "25,0,\"" +
                   pay + "\",300000,T,\"\",\"\x89\xEF\x8E\xD0\"\r\n");
    writeBytes(tmp.file("202501.lin"),
               "ZADUD-LINES,1\r\n2,1,\"" + food + "\",298,T,\"\",\"a,b\"\r\n");
    struct Case {
        const char* query;
        int code;
        const char* out;
    } cases[] = {
        {"'項目:食費'", 0,
         "2026-12-04\t食費\t-1500\tドラッグストア #日用品\n2025-01-02\t食費\t-298\ta,b\n"},
        {"'>1000'", 0,
         "2026-12-25\t給与\t300000\t会社\n2026-12-04\t食費\t-1500\tドラッグストア #日用品\n"},
        {"'#日用品'", 0, "2026-12-04\t食費\t-1500\tドラッグストア #日用品\n"},
        {"ない", 1, ""},
        {"'2000-1000'", 2, ""},
        {"''", 2, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        const auto [code, out, err] = runZadud(tmp, std::string("--find ") + c.query);
        EXPECT_EQ(code, c.code) << err;
        EXPECT_EQ(out, c.out);
        EXPECT_EQ(err.empty(), c.code != 2) << err;
    }

    // A damaged file: its readable lines are found, then it is named; exit 2.
    writeBytes(tmp.file("202502.lin"),
               "ZADUD-LINES,1\r\n3,1,\"" + food + "\",9,T,\"\",\"\"\r\nbroken\r\n");
    const auto [code, out, err] = runZadud(tmp, "--find '<10'");
    EXPECT_EQ(code, 2);
    EXPECT_EQ(out, "2025-02-03\t食費\t-9\t\n");
    EXPECT_NE(err.find("202502.lin の 3 行目が読めません"), std::string::npos) << err;
}
