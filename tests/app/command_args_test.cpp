// The command line's reading of its own arguments, without running the
// program: which starts need no window, and how an amount is read.
#include "app/command_args.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

TEST(CommandArgs, StartsWithAnOptionOfOursNeedNoWindowQtsOwnDo) {
    const struct {
        std::vector<std::string> args;
        bool noWindow;
    } cases[] = {
        {{}, false},
        {{"--version"}, true},
        {{"-x"}, true}, // mistyped: the error needs no display
        {{"--csv=1996", "x.csv"}, true},
        {{"-5"}, false}, // an amount, not an option
        {{"-"}, false},
        {{"--", "--csv"}, false},
        {{"folder"}, false},
        {{"-style", "fusion"}, false},
        {{"-style=fusion"}, false},
        {{"--platform", "xcb"}, false},
        {{"-platform"}, false},
        {{"-style", "-x"}, false}, // -x is the style's name
        {{"-reverse", "--csv"}, true},
        {{"-session", "id", "--pdf"}, true},
    };
    for (const auto& c : cases) {
        std::vector<char*> argv{const_cast<char*>("zadud")};
        for (const std::string& a : c.args)
            argv.push_back(const_cast<char*>(a.c_str()));
        std::string line;
        for (const std::string& a : c.args)
            line += a + ' ';
        EXPECT_EQ(namesCommandOption(int(argv.size()), argv.data()), c.noWindow) << line;
    }
}

TEST(CommandArgs, AmountsReadWithOrWithoutGroupingCommas) {
    const struct {
        const char* text;
        bool ok;
        int64_t value;
    } cases[] = {
        {"1490", true, 1490},
        {"1,490", true, 1490},
        {"1,490,000", true, 1490000},
        {"0", true, 0},
        {"-5", true, -5},
        {"-1,000", true, -1000},
        {"１，４９０", true, 1490},
        {"−5", true, -5},  // the minus sign
        {"－5", true, -5}, // full-width hyphen-minus
        {"999999999999999999", true, 999999999999999999},
        {"9999999999999999999", false, 0},
        {"1,49", false, 0},
        {"14,90", false, 0},
        {"1490,", false, 0},
        {",490", false, 0},
        {"1,4900", false, 0},
        {"1 490", false, 0},
        {"+5", false, 0},
        {"-", false, 0},
        {"", false, 0},
        {"5円", false, 0},
    };
    for (const auto& c : cases) {
        int64_t value = -999;
        EXPECT_EQ(readAmount(QString::fromUtf8(c.text), value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}
