// What the command line says, in the program's words, and how it exits: one
// row per mistake a user makes, run as the user runs it, without a desktop
// session (no runtime folder, no display), where Qt would add notes of its own.
#include "ledger/cp932.h"
#include "tests/support/file_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <tuple>

namespace {

std::tuple<int, std::string, std::string> runBare(const TempFolder& tmp, const std::string& args) {
    const std::string line = "cd '" + tmp.path() +
                             "' && env -u XDG_RUNTIME_DIR -u DISPLAY -u WAYLAND_DISPLAY "
                             "-u QT_QPA_PLATFORM " +
                             ZADUD_BINARY + " " + args + " >'" + tmp.file("out.txt") + "' 2>'" +
                             tmp.file("err.txt") + "'";
    const int status = std::system(line.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readBytes(tmp.file("out.txt")),
            readBytes(tmp.file("err.txt"))};
}

} // namespace

TEST(CommandMessages, EachMistakeIsNamedInJapaneseAndExitsTwo) {
    TempFolder tmp;
    writeBytes(tmp.file("ZADUD.CFG"), utf8ToCp932("ZADUD=" + tmp.path() + "\r\nkamo1=食費\r\n"));
    std::filesystem::create_directory(tmp.file("folder"));
    writeBytes(tmp.file("big.csv"), "");
    std::filesystem::resize_file(tmp.file("big.csv"), (32u << 20) + 1); // sparse

    const std::string scheduled = "--add-scheduled --item 食費 --day 25 --from 2026-10 ";
    const std::string usage = "。使い方: kakeibo ";
    struct Case {
        std::string args;
        int code;
        std::string err; // the whole of standard error
        std::string out; // the whole of standard output
    } cases[] = {
        // A negative amount is an argument, read and refused as an amount.
        {"--set-budget 1996-12 食費 -5", 2, "予算額は 0 から 2,147,483,647 までの整数です\n", ""},
        {"--set-budget 1996-12 食費 −5", 2, "予算額は 0 から 2,147,483,647 までの整数です\n", ""},
        {scheduled + "--expense -5", 2,
         "--add-scheduled: 金額は 0 から 2,147,483,647 までで指定してください\n", ""},
        // Amounts with or without grouping commas, full-width too, by every option.
        {"--set-budget 1996-12 食費 60,000", 0, "",
         "食費の予算を 1996-12 から 60000 にしました (" + tmp.file("ZADUD.BGT") + ")\n"},
        {"--set-budget 1997-01 食費 １，２００", 0, "",
         "食費の予算を 1997-01 から 1200 にしました (" + tmp.file("ZADUD.BGT") + ")\n"},
        {scheduled + "--expense 1,490", 0, "", "2026-10-25\n2026-11-25\n2026-12-25\n"},
        {scheduled + "--expense 0", 0, "", "2026-10-25\n2026-11-25\n2026-12-25\n"},
        {scheduled + "--income 1,49", 2,
         "--income: 金額 1,49 を読めません (1490 か 1,490 と書きます)\n", ""},
        {"--add-scheduled --item 食費 --income 1 --day 32 --from 2026-10", 2,
         "--add-scheduled: --day には 1 から 31 までの日を指定してください\n", ""},
        {"--add-scheduled --item 食費 --income 1 --day 31 --every 1 --from 2026-10", 0, "",
         "2026-10-31\n2026-11-30\n2026-12-31\n"},
        {"--add-scheduled --item 食費 --income 1 --last-day --from 2026", 2,
         "--add-scheduled: --from に年月 (2026-12) を指定してください\n", ""},
        {"--post-due --through 2026-13-01", 2, "--through: 日付 (2026-12-31) を指定してください\n",
         ""},
        {scheduled + "--income 1 --every 0", 2,
         "--add-scheduled: --every には 1 から 120 までの月数を指定してください\n", ""},
        // The options themselves.
        {"--foo", 2, "--foo というオプションはありません (kakeibo --help で一覧を表示します)\n",
         ""},
        {"-x 1", 2, "-x というオプションはありません (kakeibo --help で一覧を表示します)\n", ""},
        {"--csv", 2, "--csv の後に年か年月を指定してください\n", ""},
        {"--csv 1996", 2, "--csv の引数が足りません" + usage + "--csv 年か年月 ファイル\n", ""},
        {"--budget 1996-12 extra", 2, "余分な引数があります (extra)" + usage + "--budget 年月\n",
         ""},
        {"--csv 1996 o.csv --pdf 1996-01", 2, "--csv と --pdf は一緒に指定できません\n", ""},
        {"--force", 2, "--force は --restore と一緒に指定してください\n", ""},
        {"--dry-run=yes --import a.csv", 2, "--dry-run には値を付けられません\n", ""},
        {"--pdf 2025-13 x.pdf", 2, "--pdf の後に年月 (1996-12) を指定してください\n", ""},
        // Files named on the command line.
        {"--pdf 2025-01 pdfs/x.pdf", 2, "書き出し先のフォルダ pdfs がありません\n", ""},
        {"--csv 1996 pdfs/x.csv", 2, "書き出し先のフォルダ pdfs がありません\n", ""},
        {"--backup pdfs/x.zip", 2, "書き出し先のフォルダ pdfs がありません\n", ""},
        {"--import none.csv", 2, "明細のファイル none.csv が見つかりません\n", ""},
        {"--import /dev/zero", 2, "/dev/zero: 明細のファイルではありません\n", ""},
        {"--import folder", 2, "folder: 明細のファイルではありません\n", ""},
        {"--import big.csv", 2, "明細のファイル big.csv が大きすぎます (32 MB まで)\n", ""},
        {"--restore none.zip", 2, "zip ファイル none.zip が見つかりません\n", ""},
        // What is written says where, in full.
        {"--csv 1996-12 out.csv", 0, "", "CSV を " + tmp.file("out.csv") + " に書き出しました\n"},
        {"--pdf 1996-12 folder/../out.pdf", 0, "",
         "PDF を " + tmp.file("out.pdf") + " に書き出しました\n"},
        {"--version", 0, "", "kakeibo 1.3\n"},
        // Qt's own options are Qt's; one without a value hides no command.
        {"-reverse --version", 0, "", "kakeibo 1.3\n"},
        {"-v", 0, "", "kakeibo 1.3\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const auto [code, out, err] = runBare(tmp, c.args);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(err, c.err);
        EXPECT_EQ(out, c.out);
    }
}

TEST(CommandMessages, HelpIsJapaneseAndNamesEveryOptionOnce) {
    TempFolder tmp;
    // Help answers whatever else is given.
    const auto [code, out, err] = runBare(tmp, "--csv 1996 --help");
    EXPECT_EQ(code, 0);
    EXPECT_EQ(err, "");
    EXPECT_EQ(out.rfind("使い方: kakeibo [データフォルダ] [オプション]\n", 0), 0u) << out;
    for (const char* option :
         {"  -h, --help ", "  -v, --version ", "  --csv 年か年月 ファイル ", "    --with-diary ",
          "  --set-budget 年月 項目名 金額 ", "    --expense 金額 ", "    --force "}) {
        const auto at = out.find(std::string("\n") + option);
        EXPECT_NE(at, std::string::npos) << option;
        EXPECT_EQ(out.find(std::string("\n") + option, at + 1), std::string::npos) << option;
    }
    EXPECT_EQ(out.find("Usage"), std::string::npos);
}
