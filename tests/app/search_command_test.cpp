// zadud --search run as the user runs it: the built program in a working
// directory holding ZADUD.CFG, its output and exit code read back.
#include "tests/support/file_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <tuple>

namespace {

// Exit code, standard output and standard error of one search run in
// `workDir`; the two outputs go through files in `tmp`.
std::tuple<int, std::string, std::string> search(const TempFolder& tmp, const std::string& workDir,
                                                 const std::string& words) {
    const std::string line = "cd '" + workDir + "' && " + ZADUD_BINARY + " --search '" + words +
                             "' >'" + tmp.file("out.txt") + "' 2>'" + tmp.file("err.txt") + "'";
    const int status = std::system(line.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readBytes(tmp.file("out.txt")),
            readBytes(tmp.file("err.txt"))};
}

} // namespace

TEST(SearchCommand, PrintsMatchingDaysNewestFirstAcrossWidthAndCaseWithItsExitCodes) {
    TempFolder tmp;
    const std::string diary = tmp.file("diary");
    std::filesystem::create_directories(diary);
    writeBytes(tmp.file("ZADUD.CFG"), "ZADUD=" + tmp.path() + "\r\nMEMO=" + diary + "\r\n");
    // カタカナの日 / ＡＢＣ商店 / abc, in code page 932.
    writeBytes(diary + "/19980115.nik", "\x83J\x83^\x83J\x83i\x82\xcc\x93\xfa\r\n");
    writeBytes(diary + "/199937.nik", "\x82\x60\x82\x61\x82\x62\x8f\xa4\x93\x58\r\n");
    writeBytes(diary + "/2000229.nik", "x\r\nabc\r\n");
    const std::string abc = "2000-02-29\tabc\n1999-03-07\tＡＢＣ商店\n";
    struct Case {
        const char* words;
        int code;
        std::string out;
    } cases[] = {
        {"ｶﾀｶﾅ", 0, "1998-01-15\tカタカナの日\n"},
        {"ABC", 0, abc},
        {"abc 商店", 0, "1999-03-07\tＡＢＣ商店\n"},
        {"なし", 1, ""},
        {" \xE3\x80\x80", 2, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words);
        const auto [code, out, err] = search(tmp, tmp.path(), c.words);
        EXPECT_EQ(code, c.code) << err;
        EXPECT_EQ(out, c.out);
    }

    // A directory under a day's name cannot be read, even by root: an error,
    // after what was found.
    std::filesystem::create_directories(diary + "/1999310.nik");
    auto [code, out, err] = search(tmp, tmp.path(), "abc");
    EXPECT_EQ(code, 2);
    EXPECT_EQ(out, abc);
    EXPECT_NE(err.find("1999-03-10\t1999310.nik: 不正なﾌｧｲﾙ名です"), std::string::npos) << err;

    std::tie(code, out, err) = search(tmp, diary, "abc"); // no ZADUD.CFG there
    EXPECT_EQ(code, 2);
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("ﾌｧｲﾙが見つかりません"), std::string::npos) << err;
}
