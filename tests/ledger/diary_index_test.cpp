#include "ledger/diary_index.h"
#include "storage/disk_store.h"

#include "ledger/errors.h"
#include "ledger/text_file.h"
#include "tests/support/file_support.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace {

// Stand-in for the user interface's folding: full-width ASCII ("ＡＢＣ", three
// bytes a letter) to ASCII, and ASCII letters to lower case.
std::string standInFold(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
        if (byte(0) == 0xEF && i + 2 < s.size() &&
            (byte(1) == 0xBC || (byte(1) == 0xBD && byte(2) <= 0x9E))) {
            c = static_cast<char>(((byte(1) & 0x3F) << 6 | (byte(2) & 0x3F)) - 0xEE0);
            i += 2;
        }
        out += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    return out;
}

// Fails reading the files whose names hold `part`.
void failReading(const std::string& part, int err) {
    disk.setFaults([=](const std::string& path, const std::string& step) {
        return step == "read" && path.find(part) != std::string::npos ? err : 0;
    });
}

class DiaryIndex : public ::testing::Test {
protected:
    void TearDown() override { disk.setFaults(nullptr); }
    void put(const std::string& name, const std::string& bytes = "") {
        writeBytes(dir.file(name), bytes);
    }
    TempFolder dir;
};

} // namespace

TEST_F(DiaryIndex, MapsFilesToTheDaysTheDiaryWindowReadsThemFor) {
    for (const char* name :
         {"199837.nik", "19981225.nik", "2000229.nik",
          "1998115.nik",                 // 15 January and 5 November, neither padded
          "1998116.nik", "19980116.nik", // 6 November; 16 January has its own file
          "1998117.nik", "19981107.nik", // 17 January; 7 November has its own file
          "1999229.nik", "199802.nik", "19981332.nik", "1998115.NIK", "98115.nik", "1998115.nik~",
          "19981.txt", "ZADUD.CFG", "1998310.nik"})
        put(name);
    failReading("1998310.nik", EACCES);

    std::string listed;
    for (DiaryEntry& e : listDiaryFolder(dir.path())) {
        readDiaryEntry(disk, dir.path(), e);
        listed += isoDate(e.date) + " " + e.fileName + " " + e.error + "\n";
    }
    EXPECT_EQ(listed, "2000-02-29 2000229.nik \n"
                      "1998-12-25 19981225.nik \n"
                      "1998-11-07 19981107.nik \n"
                      "1998-11-06 1998116.nik \n"
                      "1998-11-05 1998115.nik \n"
                      "1998-03-10 1998310.nik ﾌｧｲﾙへのｱｸｾｽが拒否されました\n"
                      "1998-03-07 199837.nik \n"
                      "1998-01-17 1998117.nik \n"
                      "1998-01-16 19980116.nik \n"
                      "1998-01-15 1998115.nik \n");
    try {
        listDiaryFolder(dir.file("gone"));
        ADD_FAILURE() << "a missing folder lists nothing without a word";
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), msg::InvalidFileName);
    }
}

TEST(DiaryMatch, AllWordsAfterFoldingWithTheEarliestMatchSpanned) {
    struct Case {
        const char* text;
        const char* query;
        bool matches;
        std::size_t line;
        const char* span;
    } cases[] = {
        {"Hello World", "world", true, 0, "World"},
        {"買い物 ＡＢＣストア", "abc", true, 0, "ＡＢＣ"},
        {"ｘａ abc", "ABC", true, 0, "abc"},
        {"朝はrice\nmiso soup", "soup RICE", true, 0, "rice"},
        {"one\ntwo three", "three", true, 1, "three"},
        {"rice", "rice soup", false, 0, ""},
        {"rice miso", "miso\xE3\x80\x80rice", true, 0, "rice"}, // full-width blank separates
        {"rice", "  \t ", false, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        DiaryMatch m;
        const auto words = diaryQueryWords(c.query, standInFold);
        ASSERT_EQ(matchDiaryText(c.text, words, standInFold, m), c.matches);
        if (!c.matches) continue;
        EXPECT_EQ(m.line, c.line);
        EXPECT_EQ(std::string(textLine(c.text, m.line).substr(m.begin, m.end - m.begin)), c.span);
    }
}

TEST_F(DiaryIndex, SearchDecodesPastBadBytesListsUnreadableAndGoesNewestFirst) {
    // あ, a byte that is no CP932, い; then 山へ on a line of its own.
    put("199837.nik", "\x82\xA0\xFF\x82\xA2\r\n\x8E\x52\x82\xD6\r\n");
    put("1998310.nik", "\x82\xA2");
    put("1998311.nik", "\x82\xA4");
    put("1999101.nik", "\x82\xA2\x82\xA2\r\n");
    failReading("1998311", EIO);

    auto search = [&](const char* query, const std::atomic<bool>* cancel = nullptr) {
        std::string found;
        for (const DiaryHit& h : searchDiary(disk, dir.path(), query, standInFold, cancel))
            found += isoDate(h.entry.date) + " " + h.line + h.entry.error + "\n";
        return found;
    };
    EXPECT_EQ(search("い"), "1999-10-01 いい\n"
                            "1998-03-11 I/O ｴﾗｰ (5)\n"
                            "1998-03-10 い\n"
                            "1998-03-07 あ\xEF\xBF\xBDい\n");
    EXPECT_EQ(search("山へ"), "1998-03-11 I/O ｴﾗｰ (5)\n1998-03-07 山へ\n");
    std::atomic<bool> cancelled{true};
    EXPECT_EQ(search("い", &cancelled), "");
}
