#include "ledger/config_file.h"
#include "storage/disk_store.h"

#include "ledger/errors.h"
#include "ledger/text_file.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <sys/stat.h>
#include <vector>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace fs = std::filesystem;

namespace {

// CP932 bytes of a few names: ソ and 表 end in 0x5C, the byte of "\".
const std::string Shokuhi = "\x90H\x94\xef";             // 食費
const std::string SoHyo = "\x83\x5c\x95\x5c";            // ソ表
const std::string WaveCircleKabu = "\x81`\x87@\x87\x8a"; // ～①㈱
const std::string HalfKana = "\xb1\xb2";                 // ｱｲ

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

class ConfigFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "cfgtest.XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        start = pattern;
        ledgerDir = start + "/ledger";
        diaryDir = start + "/diary";
        fs::create_directory(ledgerDir);
        fs::create_directory(diaryDir);
        cfg = start + "/ZADUD.CFG";
    }
    void TearDown() override {
        disk.setFaults(nullptr);
        if (fs::exists(cfg)) fs::permissions(cfg, fs::perms::owner_all);
        fs::remove_all(start);
    }

    // "$S", "$L", "$D" stand for the start, ledger and diary directories.
    std::string expand(const std::string& text) const {
        return replaceAll(replaceAll(replaceAll(text, "$S", start), "$L", ledgerDir), "$D",
                          diaryDir);
    }

    // Reads the file with checks that accept existing directories and log
    // every call. Returns the error message, empty when none.
    std::string read(const std::string& fileText) {
        writeBytes(cfg, expand(fileText));
        return readOnly();
    }
    std::string readOnly() {
        auto check = [this](const char* which) {
            return [this, which](const std::string& path) {
                checks.push_back(std::string(which) + ":" + path);
                return !path.empty() && fs::is_directory(path);
            };
        };
        try {
            readConfig(disk, start, ledger, outLedger, outDiary, check("L"), check("D"));
        } catch (const AppError& e) {
            return e.what();
        }
        return {};
    }

    std::string start, ledgerDir, diaryDir, cfg;
    MonthLedger ledger;
    std::string outLedger, outDiary;
    std::vector<std::string> checks;
};

struct ReadCase {
    const char* title;
    const char* file;
    const char* ledgerDir;            // expected, with $S/$L/$D
    const char* diaryDir;             // expected
    std::map<int, std::string> names; // all other slots empty
    const char* error;                // expected message, "" for none
};

const ReadCase readCases[] = {
    {"locations only", "ZADUD=$L\r\nMEMO=$D\r\n", "$L", "$D", {}, ""},
    {"order does not matter", "kamo1=a\r\nMEMO=$D\r\nZADUD=$L\r\n", "$L", "$D", {{1, "a"}}, ""},
    {"only the first = splits", "kamo3=a=b= c\r\n", "$S", "$S", {{3, "a=b= c"}}, ""},
    {"empty ledger location falls back", "ZADUD=\r\nMEMO=$D\r\n", "$S", "$D", {}, ""},
    {"missing directory falls back",
     "ZADUD=$S/none\r\nMEMO=$D/x/y\r\nkamo2=b\r\n",
     "$S",
     "$S",
     {{2, "b"}},
     ""},
    {"keys are case-sensitive",
     "zadud=$L\r\nMemo=$D\r\nKAMO1=x\r\nKamo2=y\r\nkamo\r\nno equals\r\n=\r\n",
     "$S",
     "$S",
     {},
     ""},
    {"key must be exact", "ZADUD =$L\r\n MEMO=$D\r\nXZADUD=$L\r\n", "$S", "$S", {}, ""},
    {"last occurrence wins",
     "kamo2=first\r\nZADUD=$L\r\nkamo2=second\r\nZADUD=$D\r\n",
     "$D",
     "$S",
     {{2, "second"}},
     ""},
    {"a failing later location undoes an earlier one",
     "ZADUD=$L\r\nZADUD=$S/gone\r\n",
     "$S",
     "$S",
     {},
     ""},
    {"empty name clears an earlier one", "kamo5=x\r\nkamo5=\r\n", "$S", "$S", {}, ""},
    {"items 13 to 20",
     "kamo13=m\r\nkamo20=t\r\nkamo012=z\r\n",
     "$S",
     "$S",
     {{12, "z"}, {13, "m"}, {20, "t"}},
     ""},
    {"item 21 stops the read",
     "ZADUD=$L\r\nkamo1=a\r\nkamo21=x\r\nkamo2=b\r\nMEMO=$D\r\n",
     "$L",
     "$S",
     {{1, "a"}},
     "範囲ﾁｪｯｸｴﾗｰ"},
    {"item 0 stops the read",
     "kamo1=a\r\nkamo0=x\r\nkamo2=b\r\n",
     "$S",
     "$S",
     {{1, "a"}},
     "範囲ﾁｪｯｸｴﾗｰ"},
    {"negative item", "kamo-1=x\r\n", "$S", "$S", {}, "範囲ﾁｪｯｸｴﾗｰ"},
    {"item number not an integer",
     "MEMO=$D\r\nkamoX=x\r\nZADUD=$L\r\n",
     "$S",
     "$D",
     {},
     "'X' は整数ではありません"},
    {"empty item number",
     "kamo1=a\r\nkamo=x\r\n",
     "$S",
     "$S",
     {{1, "a"}},
     "'' は整数ではありません"},
    {"item number with a blank", "kamo 1=x\r\n", "$S", "$S", {}, "' 1' は整数ではありません"},
    {"Ctrl-Z ends the file", "kamo1=a\r\n\x1akamo2=b\r\n", "$S", "$S", {{1, "a"}}, ""},
    {"last line without CR LF", "kamo1=a\r\nkamo2=b", "$S", "$S", {{1, "a"}, {2, "b"}}, ""},
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.title;
}

class ConfigRead : public ConfigFile, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ConfigRead, AppliesLinesInOrder) {
    const ReadCase& c = GetParam();
    EXPECT_EQ(read(c.file), c.error);
    EXPECT_EQ(outLedger, expand(c.ledgerDir));
    EXPECT_EQ(outDiary, expand(c.diaryDir));
    for (int i = 1; i <= ItemSlots; ++i) {
        const auto it = c.names.find(i);
        EXPECT_EQ(ledger.Items[i].Name, it == c.names.end() ? "" : it->second) << "item " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, ConfigRead, ::testing::ValuesIn(readCases), [](const auto& info) {
    std::string name;
    for (const char* p = info.param.title; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
});

TEST_F(ConfigFile, EveryLocationLineGoesThroughItsOwnCheck) {
    EXPECT_EQ(read("ZADUD=$L\r\nMEMO=$D\r\nZADUD=\r\nZADUD=$D\r\n"), "");
    const std::vector<std::string> expected = {"L:" + ledgerDir, "D:" + diaryDir,
                                               "L:", "L:" + diaryDir};
    EXPECT_EQ(checks, expected);
}

TEST_F(ConfigFile, ThrowingCheckCountsAsFailed) {
    writeBytes(cfg, expand("ZADUD=$L\r\nMEMO=$D\r\n"));
    auto throwing = [](const std::string&) -> bool { throw AppError("not ready"); };
    auto accepting = [](const std::string&) { return true; };
    EXPECT_NO_THROW(readConfig(disk, start, ledger, outLedger, outDiary, throwing, accepting));
    EXPECT_EQ(outLedger, start);
    EXPECT_EQ(outDiary, diaryDir);
}

TEST_F(ConfigFile, LocationThatIsNotCp932FallsBack) {
    // A lone lead byte cannot be decoded; the check is never asked.
    EXPECT_EQ(read("ZADUD=\x81\r\nMEMO=$D\r\n"), "");
    EXPECT_EQ(outLedger, start);
    EXPECT_EQ(checks, std::vector<std::string>{"D:" + diaryDir});
}

TEST_F(ConfigFile, MissingFileLeavesClearedLedgerAndDefaults) {
    for (int i = 1; i <= ItemSlots; ++i) {
        ledger.Items[i].Name = "old";
        ledger.Items[i].Days[31] = DayCell{5, 6};
    }
    ledger.CarryOver[3] = 77;
    outLedger = outDiary = "/elsewhere";
    EXPECT_EQ(readOnly(), "ﾌｧｲﾙが見つかりません");
    EXPECT_FALSE(fs::exists(cfg)) << "reading must not create the file";
    EXPECT_EQ(outLedger, start);
    EXPECT_EQ(outDiary, start);
    for (int i = 1; i <= ItemSlots; ++i) {
        EXPECT_EQ(ledger.Items[i].Name, "");
        EXPECT_EQ(ledger.Items[i].Days[31].Income, 0);
        EXPECT_EQ(ledger.Items[i].Days[31].Expense, 0);
    }
    EXPECT_EQ(ledger.CarryOver[3], 77) << "the carry-over is not the reader's";
}

TEST_F(ConfigFile, WritesLinesAsTyped) {
    ConfigValues v;
    v.ledgerDir = "/data/a b=c";
    v.diaryDir = "";
    v.names[0] = "x=y ";
    v.names[2] = Shokuhi;
    v.names[11] = " twelve";
    writeConfig(disk, start, v);
    EXPECT_EQ(readBytes(cfg), "ZADUD=/data/a b=c\r\nMEMO=\r\nkamo1=x=y \r\nkamo3=" + Shokuhi +
                                  "\r\nkamo12= twelve\r\n");
}

TEST_F(ConfigFile, Cp932NamesAndJapanesePathsSurviveWriteAndRead) {
    const std::string japaneseDir = start + "/家計簿 データ";
    fs::create_directory(japaneseDir);
    ConfigValues v;
    v.ledgerDir = japaneseDir;
    v.diaryDir = diaryDir;
    const std::string names[] = {Shokuhi, SoHyo, WaveCircleKabu, HalfKana, SoHyo + "\\"};
    for (int i = 0; i < 5; ++i)
        v.names[i * 2] = names[i];
    writeConfig(disk, start, v);
    // The path is stored in CP932: 家 is 0x89 0xC6.
    EXPECT_NE(readBytes(cfg).find("ZADUD=" + start + "/\x89\xc6"), std::string::npos);

    EXPECT_EQ(readOnly(), "");
    EXPECT_EQ(outLedger, japaneseDir);
    EXPECT_EQ(outDiary, diaryDir);
    for (int i = 1; i <= ShownItems; ++i)
        EXPECT_EQ(ledger.Items[i].Name, v.names[i - 1]) << "item " << i;

    // Writing what was read gives the same bytes again.
    const std::string first = readBytes(cfg);
    ConfigValues again{outLedger, outDiary, {}};
    for (int i = 1; i <= ShownItems; ++i)
        again.names[i - 1] = ledger.Items[i].Name;
    writeConfig(disk, start, again);
    EXPECT_EQ(readBytes(cfg), first);
}

TEST_F(ConfigFile, ItemsBeyondTwelveAreNotWrittenBack) {
    EXPECT_EQ(read("kamo1=a\r\nkamo13=m\r\n"), "");
    ConfigValues v{start, start, {}};
    for (int i = 1; i <= ShownItems; ++i)
        v.names[i - 1] = ledger.Items[i].Name;
    writeConfig(disk, start, v);
    EXPECT_EQ(readBytes(cfg), "ZADUD=" + start + "\r\nMEMO=" + start + "\r\nkamo1=a\r\n");
}

// Makes the writer fail at one step with `err`.
std::function<void(const std::string&)> failStep(const char* step, int err) {
    return [step, err](const std::string&) {
        disk.setFaults([step, err](const std::string&, const std::string& at) {
            return at == step ? err : 0;
        });
    };
}

struct Refusal {
    const char* title;
    std::function<void(ConfigValues&)> change;
    std::function<void(const std::string& cfg)> before; // prepares the failure
    const char* error;
};

TEST_F(ConfigFile, RefusedWriteLeavesOldFileByteForByte) {
    const std::string old = "ZADUD=" + ledgerDir + "\r\nkamo1=" + SoHyo + "\r\n\x1a";
    const Refusal cases[] = {
        {"comma in a name", [](ConfigValues& v) { v.names[2] = "a,b"; }, nullptr,
         "項目3「a,b」の名前に \",\" は使えません"},
        {"location not in code page 932",
         [](ConfigValues& v) { v.diaryDir = "/tmp/\xf0\x9f\x98\x80"; }, nullptr,
         "日記帳の格納場所に Shift-JIS で表せない文字「😀」(U+1F600) が含まれています"},
        {"location that reads back as another",
         [](ConfigValues& v) { v.ledgerDir = "/tmp/家計簿〜2024"; }, nullptr,
         "家計簿の格納場所の「〜」(U+301C) は Shift-JIS で「～」(U+FF5E) に変わります"},
        {"control character in a location", [](ConfigValues& v) { v.diaryDir = "/tmp/a\tb"; },
         nullptr, "日記帳の格納場所に制御文字 TAB (U+0009) は使えません"},
        {"line end in a name", [](ConfigValues& v) { v.names[4] = "a\r\nZADUD=/x"; }, nullptr,
         "項目5の名前に制御文字 CR (U+000D) は使えません"},
        {"read-only file", nullptr,
         [](const std::string& path) { fs::permissions(path, fs::perms::owner_read); },
         "ﾌｧｲﾙへのｱｸｾｽが拒否されました"},
        {"disk full on write", nullptr, failStep("write", ENOSPC), "ﾃﾞｨｽｸがいっぱいです"},
        {"create refused", nullptr, failStep("open", EACCES), "ﾌｧｲﾙへのｱｸｾｽが拒否されました"},
        {"rename fails", nullptr, failStep("rename", EIO), "I/O ｴﾗｰ (5)"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.title);
        if (fs::exists(cfg)) fs::permissions(cfg, fs::perms::owner_read | fs::perms::owner_write);
        writeBytes(cfg, old);
        ConfigValues v{ledgerDir, diaryDir, {}};
        v.names[0] = Shokuhi;
        if (c.change) c.change(v);
        if (c.before) c.before(cfg);
        try {
            writeConfig(disk, start, v);
            ADD_FAILURE() << "write was not refused";
        } catch (const AppError& e) {
            if (c.error) {
                EXPECT_STREQ(e.what(), c.error);
            }
        }
        disk.setFaults(nullptr);
        EXPECT_EQ(readBytes(cfg), old);
        std::vector<std::string> leftovers;
        for (const auto& entry : fs::directory_iterator(start))
            if (entry.is_regular_file() && entry.path() != cfg)
                leftovers.push_back(entry.path().string());
        EXPECT_TRUE(leftovers.empty()) << leftovers.front();
    }
}

TEST_F(ConfigFile, ControlCharactersNeverLeaveTheReader) {
    const std::string tabbed = start + "/a\tb";
    fs::create_directory(tabbed);
    EXPECT_EQ(read("ZADUD=" + tabbed + "\r\nMEMO=$D\r\nkamo1=a\tb\x7f\r\nkamo2=\n\r\n"), "");
    EXPECT_EQ(outLedger, start);
    EXPECT_EQ(outDiary, diaryDir);
    EXPECT_EQ(ledger.Items[1].Name, "ab");
    EXPECT_EQ(ledger.Items[2].Name, "");
}

TEST_F(ConfigFile, CommaInNameWritesNoNewFile) {
    ConfigValues v{ledgerDir, diaryDir, {}};
    v.names[11] = Shokuhi + ",";
    EXPECT_THROW(writeConfig(disk, start, v), AppError);
    EXPECT_FALSE(fs::exists(cfg));
}

} // namespace
