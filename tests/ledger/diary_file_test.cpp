#include "ledger/diary_file.h"
#include "storage/disk_store.h"

#include "ledger/errors.h"
#include "ledger/text_file.h"
#include "tests/support/file_support.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace fs = std::filesystem;

namespace {

using Dir = TempFolder;

int daysIn(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

} // namespace

TEST(DiaryFileName, RuleWritesNumbersWithoutLeadingZeros) {
    struct Case {
        int y, m, d;
        const char* name;
    } cases[] = {
        {1998, 3, 7, "199837.nik"},   {1998, 12, 25, "19981225.nik"}, {1998, 1, 15, "1998115.nik"},
        {1998, 11, 5, "1998115.nik"}, {1998, 10, 1, "1998101.nik"},   {1998, 1, 31, "1998131.nik"},
        {1998, 1, 10, "1998110.nik"}, {2000, 2, 29, "2000229.nik"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(diaryRuleName(c.y, c.m, c.d), c.name) << c.m << "/" << c.d;
}

TEST(DiaryFileName, WrittenNamesAreUniqueAndKeepTheRuleWhereItIsUnique) {
    for (int year : {1998, 2000}) {
        std::map<std::string, int> ruleUse;
        for (int m = 1; m <= 12; ++m)
            for (int d = 1; d <= daysIn(year, m); ++d)
                ++ruleUse[diaryRuleName(year, m, d)];

        std::set<std::string> written;
        std::set<std::string> ruleNames;
        for (const auto& [name, count] : ruleUse)
            ruleNames.insert(name);
        int shared = 0;
        for (int m = 1; m <= 12; ++m) {
            for (int d = 1; d <= daysIn(year, m); ++d) {
                const std::string rule = diaryRuleName(year, m, d);
                const bool collides = ruleUse[rule] > 1;
                EXPECT_EQ(diaryNameShared(year, m, d), collides) << m << "/" << d;
                const std::string name = diaryFileName(year, m, d);
                if (collides) {
                    ++shared;
                    // The padded name is no day's rule name, so it cannot hide
                    // another day's stored entry.
                    EXPECT_EQ(ruleNames.count(name), 0u) << name;
                } else {
                    EXPECT_EQ(name, rule);
                }
                EXPECT_TRUE(written.insert(name).second) << "duplicate " << name;
            }
        }
        EXPECT_EQ(shared, 36);
    }
    EXPECT_EQ(diaryFileName(1998, 1, 15), "19980115.nik");
    EXPECT_EQ(diaryFileName(1998, 11, 5), "19981105.nik");
}

TEST(DiaryText, LinesAndBytes) {
    struct Case {
        std::string bytes;
        std::string text;
    } cases[] = {
        {"", ""},
        {"\r\n", ""},
        {"abc\r\n", "abc"},
        {"abc\r\n\r\n", "abc\n"},
        {"\r\nabc\r\n", "\nabc"},
        {"a\r\nb", "a\nb"},
        {"a\rb\r\n", "a\nb"},
        {"a\r\n\x1a"
         "after the end\r\n",
         "a"},
        {"\x93\xfa\x8b\x4c\r\n\x82\xa0\r\n", "\x93\xfa\x8b\x4c\n\x82\xa0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(diaryText(c.bytes), c.text) << c.bytes;

    for (const std::string text : {"", "abc", "abc\n", "\n\n", "a\nb\nc", "\x93\xfa\x8b\x4c\n"})
        EXPECT_EQ(diaryText(diaryBytes(text)), text);
    EXPECT_EQ(diaryBytes(""), "\r\n");
    EXPECT_EQ(diaryBytes("a\n\nb"), "a\r\n\r\nb\r\n");
    // A lone CR or LF is a line end as CR LF is, not a byte that cuts or
    // joins lines on the next read.
    EXPECT_EQ(diaryBytes("a\rb\nc\r\nd\r"), "a\r\nb\r\nc\r\nd\r\n\r\n");
}

TEST(DiaryText, EditedMemoTextReadsBackAsTyped) {
    // Stray bytes ride through the memo; an edit elsewhere keeps them.
    const std::string stored = "\x93\xfa\x80\x8b\x4c\r\nx\xfd\r\n";
    const std::string text = diaryMemoText(stored);
    EXPECT_EQ(diaryMemoBytes(text), stored);
    EXPECT_EQ(diaryMemoBytes(text + "!"), "\x93\xfa\x80\x8b\x4c\r\nx\xfd!\r\n");
    for (const std::string& typed :
         {std::string("日記 ～①\n\tタブ\x1b"), std::string(1500, 'a') + "\n髙"})
        EXPECT_EQ(diaryMemoText(diaryMemoBytes(typed)), typed);
}

TEST(DiaryFile, DayWithoutFileGetsAnEmptyOne) {
    Dir dir;
    EXPECT_EQ(loadDiaryFile(disk, dir.path(), 1998, 3, 7), "");
    ASSERT_TRUE(fs::exists(dir.file("199837.nik")));
    EXPECT_EQ(fs::file_size(dir.file("199837.nik")), 0u);

    // A shared day without any file gets its own padded file, not the rule's.
    EXPECT_EQ(loadDiaryFile(disk, dir.path(), 1998, 11, 5), "");
    EXPECT_TRUE(fs::exists(dir.file("19981105.nik")));
    EXPECT_FALSE(fs::exists(dir.file("1998115.nik")));
}

TEST(DiaryFile, SharedDaysKeepSeparateEntries) {
    Dir dir;
    saveDiaryFile(disk, dir.path(), 1998, 1, 15, "January\r\n");
    saveDiaryFile(disk, dir.path(), 1998, 11, 5, "November\r\n");
    EXPECT_EQ(loadDiaryFile(disk, dir.path(), 1998, 1, 15), "January\r\n");
    EXPECT_EQ(loadDiaryFile(disk, dir.path(), 1998, 11, 5), "November\r\n");
    EXPECT_FALSE(fs::exists(dir.file("1998115.nik")));
}

TEST(DiaryFile, EntryStoredUnderTheRuleStaysReadable) {
    Dir dir;
    const std::string old = "stored by the rule\r\n";
    writeBytes(dir.file("1998115.nik"), old);
    EXPECT_EQ(loadDiaryFile(disk, dir.path(), 1998, 1, 15), old);
    EXPECT_FALSE(fs::exists(dir.file("19980115.nik"))) << "reading creates no file";

    // Saving moves the day to its own name and leaves the old file alone, so
    // the other day of the pair still finds it.
    saveDiaryFile(disk, dir.path(), 1998, 1, 15, "new\r\n");
    EXPECT_EQ(readBytes(dir.file("19980115.nik")), "new\r\n");
    EXPECT_EQ(readBytes(dir.file("1998115.nik")), old);
    EXPECT_EQ(loadDiaryFile(disk, dir.path(), 1998, 1, 15), "new\r\n");
    EXPECT_EQ(loadDiaryFile(disk, dir.path(), 1998, 11, 5), old);
}

TEST(DiaryFile, LoadKeepsBytesExactly) {
    Dir dir;
    using namespace std::string_literals;
    const std::string bytes = "no final line end\n\x1a\xff\x00tail"s;
    ASSERT_EQ(bytes.size(), 25u);
    writeBytes(dir.file("199837.nik"), bytes);
    EXPECT_EQ(loadDiaryFile(disk, dir.path(), 1998, 3, 7), bytes);
}

TEST(DiaryFile, UnreadableEntryIsReportedAndNotReplaced) {
    Dir dir;
    fs::create_directory(dir.file("199837.nik"));
    try {
        loadDiaryFile(disk, dir.path(), 1998, 3, 7);
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), msg::InvalidFileName);
    }
    EXPECT_TRUE(fs::is_directory(dir.file("199837.nik")));
}

TEST(DiaryFile, FailedSaveKeepsTheOldFile) {
    Dir dir;
    writeBytes(dir.file("199837.nik"), "old entry\r\n");
    disk.setFaults(
        [](const std::string&, const std::string& step) { return step == "write" ? ENOSPC : 0; });
    try {
        saveDiaryFile(disk, dir.path(), 1998, 3, 7, std::string(4096, 'x'));
        disk.setFaults(nullptr);
        FAIL() << "no error";
    } catch (const AppError& e) {
        disk.setFaults(nullptr);
        EXPECT_STREQ(e.what(), msg::DiskFull);
    }
    EXPECT_EQ(readBytes(dir.file("199837.nik")), "old entry\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
        << "no temporary file left behind";
}
