// --sync and --undo from two data folders, as two PCs sharing one book run
// them; the sync tool's copying is done by hand between the steps.
#include "ledger/cp932.h"
#include "tests/app/run_zadud.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

void copyFile(const TempFolder& from, const TempFolder& to, const std::string& name) {
    writeBytes(to.file(name), readBytes(from.file(name)));
}

TEST(SyncCommand, MergesBothPcsAndUndoesTheNewestStepOfEither) {
    TempFolder a, b;
    for (const TempFolder* f : {&a, &b})
        writeBytes(f->file("ZADUD.CFG"), utf8ToCp932("kamo1=食費\r\n"));
    struct Step {
        const char* pc;
        const char* args;
        int code;
        const char* says; // in stdout, or "" for nothing in particular
        // What the sync tool does after the step: every journal to both
        // folders, and a month file from one side to the other.
        bool syncJournals;
        int monthFrom; // 0 none, 1 a -> b, 2 b -> a
    };
    // At equal times pc-b's step counts as the later one, so the newest
    // step below is B's whatever the clock says.
    const std::vector<Step> steps = {
        {"pc-a", "--add-line 2026-12-05 食費 -500 肉", 0, "", false, 0},
        {"pc-b", "--add-line 2026-12-05 食費 -300 魚", 0, "", true, 2},
        // Lines of one cell on both PCs are two lines, not a question: A's,
        // lost with its line file, comes back with its amount.
        {"pc-a", "--sync", 0, "同期: 2026/12/5 食費 支出 内訳 追加 500 肉", false, 0},
        {"pc-a", "--sync", 0, "直した値 0 件、確認の要る値 0 件", false, 0},
        {"pc-b", "--add-line 2026-12-06 食費 -40 卵", 0, "", true, 2},
        // The newest step of both is B's, undone on A.
        {"pc-a", "--undo", 0, "元に戻しました: 12/6 食費", false, 0},
        // B's copy, made before it saw A's line, lost it again.
        {"pc-a", "--sync", 0, "直した値 1 件、確認の要る値 0 件", false, 0},
        // One cell typed differently on both PCs: asked, numbered, settled
        // on A with the sum of both changes, and then asked on neither.
        {"pc-a", "--set-amount 2026-12-20 食費 expense 700", 0, "", false, 0},
        {"pc-b", "--set-amount 2026-12-20 食費 expense 400", 0, "", true, 2},
        {"pc-a", "--sync", 3, "同期の確認 1: 2026/12/20 食費 支出: pc-a 700 / pc-b 400", false, 0},
        {"pc-a", "--settle 2 sum", 2, "", false, 0},
        {"pc-a", "--settle 0 sum", 2, "", false, 0},
        {"pc-a", "--settle 1 both", 2, "", false, 0},
        {"pc-a", "--settle 1 sum", 0, "確認の要る値 0 件", true, 1},
        {"pc-b", "--sync", 0, "確認の要る値 0 件", false, 0},
        {"pc-b", "--csv 2026-12 out.csv", 0, "", false, 0},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(std::string(s.pc) + " " + s.args);
        ::setenv("KAKEIBO_PC", s.pc, 1);
        const TempFolder& at = std::string(s.pc) == "pc-a" ? a : b;
        auto [code, out, err] = runZadud(at, s.args);
        EXPECT_EQ(code, s.code) << out << err;
        EXPECT_NE(out.find(s.says), std::string::npos) << out;
        if (s.syncJournals)
            for (const char* name : {"ZADUD-pc-a.JNL", "ZADUD-pc-b.JNL"}) {
                const TempFolder& from = std::string(name) == "ZADUD-pc-a.JNL" ? a : b;
                copyFile(from, &from == &a ? b : a, name);
            }
        for (const char* name : {"202612.txt", "202612.lin"}) {
            if (s.monthFrom == 1) copyFile(a, b, name);
            if (s.monthFrom == 2) copyFile(b, a, name);
        }
    }
    ::unsetenv("KAKEIBO_PC");
    EXPECT_NE(readBytes(b.file("out.csv")).find(",-1100,"), std::string::npos)
        << readBytes(b.file("out.csv"));
    // Nothing left to undo on a book that never had a step.
    TempFolder empty;
    writeBytes(empty.file("ZADUD.CFG"), utf8ToCp932("kamo1=食費\r\n"));
    ::setenv("KAKEIBO_PC", "pc-c", 1);
    auto [code, out, err] = runZadud(empty, "--undo");
    ::unsetenv("KAKEIBO_PC");
    EXPECT_EQ(code, 1);
    EXPECT_NE(err.find("元に戻せる変更はありません"), std::string::npos) << err;
}

} // namespace
