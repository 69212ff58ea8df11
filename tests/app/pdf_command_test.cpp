// The command line as a user runs it: the real program in a data folder, its
// PDF read back with pdftotext.
#include "ledger/amount_format.h"
#include "ledger/cp932.h"
#include "tests/support/file_support.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <sstream>
#include <sys/wait.h>

namespace {

std::string amount(int32_t value) {
    const std::string text = AmountFmt(value);
    return text.substr(text.find_first_not_of(' '));
}

// One line of a month file: `perDay` times the day on every day.
std::string monthLine(const char* name, const char* flag, int32_t perDay, int32_t carry) {
    std::string line = utf8ToCp932(name) + "," + flag + ",";
    char field[16];
    for (int d = 1; d <= 32; ++d) {
        std::snprintf(field, sizeof field, "%08d,", d == 32 ? carry + perDay * 496 : perDay * d);
        line += field;
    }
    return line + "\r\n";
}

class PdfCommand : public ::testing::Test {
protected:
    void SetUp() override {
        writeBytes(dir.file("ZADUD.CFG"), utf8ToCp932("kamo1=給料\r\nkamo2=食費\r\n"));
        // November closes with 5,000 in the first item; December has 100 x day
        // in and 30 x day out, every day.
        writeBytes(dir.file("199611.txt"),
                   monthLine("給料", "0", 0, 5000) + monthLine("給料", "1", 0, 0));
        writeBytes(dir.file("199612.txt"),
                   monthLine("給料", "0", 100, 0) + monthLine("食費", "1", 30, 0));
        writeBytes(dir.file("1996123.nik"), utf8ToCp932("雨の日。\r\n"));
    }
    int zadud(const std::string& args) {
        const std::string line =
            "cd '" + dir.path() + "' && " + ZADUD_BINARY + " " + args + " 2>err.txt >/dev/null";
        const int status = std::system(line.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string errText() { return readBytes(dir.file("err.txt")); }
    std::vector<std::string> files() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempFolder dir;
};

TEST_F(PdfCommand, WritesTheMonthsPrintoutAndNothingElse) {
    std::vector<std::string> expected = files();
    ASSERT_EQ(zadud("--pdf 1996-12 out.pdf --with-diary"), 0) << errText();
    expected.insert(expected.end(), {"err.txt", "out.pdf"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(files(), expected) << "a month, diary or configuration file was written";

    const std::string cmd =
        "pdftotext -layout '" + dir.file("out.pdf") + "' '" + dir.file("out.txt") + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::string all = readBytes(dir.file("out.txt"));
    for (const char* text : {"月度家計簿", "1996年12月", "雨の日。"})
        EXPECT_NE(all.find(text), std::string::npos) << text;
    // Each line's first word names its row; the last figure of a day is its balance.
    std::map<std::string, std::vector<std::string>> rows;
    std::istringstream lines(all);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
        if (w.size() > 1) rows[w[0]] = std::vector<std::string>(w.begin() + 1, w.end());
    }
    const char* weekdays[] = {"日", "月", "火", "水", "木", "金", "土"};
    for (int d = 1; d <= 31; ++d) {
        const std::string label = std::to_string(d) + "日(" + weekdays[(d - 1) % 7] + ")";
        ASSERT_TRUE(rows.count(label)) << label;
        EXPECT_EQ(rows[label].back(), amount(5000 + 70 * d * (d + 1) / 2)) << label;
    }
    const int32_t in = 100 * 496, out = 30 * 496;
    EXPECT_EQ(rows["収入計"], (std::vector<std::string>{amount(in), "0", amount(in)}));
    EXPECT_EQ(rows["支出計"], (std::vector<std::string>{"0", amount(out), amount(out)}));
    EXPECT_EQ(rows["差引計"], (std::vector<std::string>{amount(in), amount(-out), amount(in - out),
                                                        amount(5000 + in - out)}));
}

TEST_F(PdfCommand, BadInputIsReportedAndWritesNothing) {
    const auto none = [] {};
    struct Case {
        const char* args;
        const char* error;
        std::function<void()> setup;
    } cases[] = {
        {"--pdf 1996-13 out.pdf", "年月 (1996-12) を指定してください", none},
        {"--pdf 1996-12", "--pdf の引数が足りません", none},
        {"--pdf 1996-12 nofolder/out.pdf", "書き出し先のフォルダ nofolder がありません", none},
        {"--pdf 1996-12 out.pdf", "'x' は整数ではありません",
         [&] { writeBytes(dir.file("199612.txt"), utf8ToCp932("食費,1,x,\r\n")); }},
        {"--pdf 1996-12 out.pdf", "ﾌｧｲﾙが見つかりません",
         [&] { std::remove(dir.file("ZADUD.CFG").c_str()); }},
    };
    for (const Case& c : cases) {
        SetUp();
        writeBytes(dir.file("out.pdf"), "old");
        c.setup();
        EXPECT_NE(zadud(c.args), 0) << c.args;
        EXPECT_NE(errText().find(c.error), std::string::npos) << c.args << ": " << errText();
        EXPECT_TRUE(readBytes(dir.file("out.pdf")) == "old") << c.args;
    }
}

} // namespace
