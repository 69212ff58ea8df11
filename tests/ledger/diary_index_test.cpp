#include "ledger/diary_index.h"

#include "ledger/errors.h"
#include "ledger/text_file.h"
#include "tests/support/file_support.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {

// Stand-in for the user interface's folding: full-width ASCII to ASCII and
// ASCII letters to lower case. Full-width letters take three bytes and give
// one, so spans must be found, not counted.
std::string standInFold(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
        if (b(0) == 0xEF && i + 2 < s.size()) {
            const int cp = ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
            if (cp >= 0xFF01 && cp <= 0xFF5E) {
                const char c = static_cast<char>(cp - 0xFEE0);
                out += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
                i += 2;
                continue;
            }
        }
        const char c = s[i];
        out += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    return out;
}

struct Listed {
    std::string date, file, error;
    bool operator==(const Listed& o) const {
        return date == o.date && file == o.file && error == o.error;
    }
};
std::ostream& operator<<(std::ostream& os, const Listed& l) {
    return os << l.date << " " << l.file << " [" << l.error << "]";
}

class DiaryIndex : public ::testing::Test {
protected:
    void TearDown() override { setWriteFaultHook(nullptr); }
    void put(const std::string& name, const std::string& bytes) {
        writeBytes(dir.file(name), bytes);
    }
    TempFolder dir;
};

} // namespace

TEST_F(DiaryIndex, MapsFilesToTheDaysTheDiaryWindowReadsThemFor) {
    put("199837.nik", "");
    put("19981225.nik", "");
    put("1998115.nik", ""); // 15 January and 5 November, neither padded
    put("1998116.nik", ""); // 6 November only: 16 January has its own file
    put("19980116.nik", "");
    put("1998117.nik", "");  // 17 January only
    put("19981107.nik", ""); // 7 November
    put("2000229.nik", "");
    put("1999229.nik", "");  // no such day
    put("199802.nik", "");   // month 0
    put("19981332.nik", ""); // no such month
    put("1998115.NIK", "");  // the window never reads this name
    put("98115.nik", "");    // not a four-digit year
    put("1998115.nik~", "");
    put("19981.txt", ""); // a month file
    put("ZADUD.CFG", "");
    put("1998310.nik", "");
    setWriteFaultHook([](const std::string& path, const std::string& step) {
        return step == "read" && path.size() >= 11 && path.substr(path.size() - 11) == "1998310.nik"
                   ? EACCES
                   : 0;
    });

    std::vector<Listed> listed;
    for (DiaryEntry& e : listDiaryFolder(dir.path())) {
        readDiaryEntry(dir.path(), e);
        listed.push_back({isoDate(e.date), e.fileName, e.error});
    }
    const std::vector<Listed> expected = {
        {"2000-02-29", "2000229.nik", ""},  {"1998-12-25", "19981225.nik", ""},
        {"1998-11-07", "19981107.nik", ""}, {"1998-11-06", "1998116.nik", ""},
        {"1998-11-05", "1998115.nik", ""},  {"1998-03-10", "1998310.nik", msg::AccessDenied},
        {"1998-03-07", "199837.nik", ""},   {"1998-01-17", "1998117.nik", ""},
        {"1998-01-16", "19980116.nik", ""}, {"1998-01-15", "1998115.nik", ""},
    };
    EXPECT_EQ(listed, expected);
}

TEST_F(DiaryIndex, MissingFolderIsThePathError) {
    try {
        listDiaryFolder(dir.file("gone"));
        FAIL() << "no error";
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
    // あ, a byte that is no CP932, い; then a line after it.
    put("199837.nik", "\x82\xA0\xFF\x82\xA2\r\n\x8E\x52\x82\xD6\r\n");
    put("1998310.nik", "\x82\xA2");
    put("1998311.nik", "\x82\xA4");
    put("1999101.nik", "\x82\xA2\x82\xA2\r\n");
    setWriteFaultHook([](const std::string& path, const std::string& step) {
        return step == "read" && path.find("1998311") != std::string::npos ? EIO : 0;
    });

    const std::vector<DiaryHit> hits = searchDiary(dir.path(), "い", standInFold);
    std::vector<Listed> listed;
    for (const DiaryHit& h : hits)
        listed.push_back({isoDate(h.entry.date), h.line, h.entry.error});
    const std::vector<Listed> expected = {
        {"1999-10-01", "いい", ""},
        {"1998-03-11", "", "I/O ｴﾗｰ (5)"},
        {"1998-03-10", "い", ""},
        {"1998-03-07", "あ\xEF\xBF\xBDい", ""},
    };
    EXPECT_EQ(listed, expected);
    const std::vector<DiaryHit> after = searchDiary(dir.path(), "山へ", standInFold);
    ASSERT_EQ(after.size(), 2u) << "the unreadable entry and the one past the bad byte";
    EXPECT_EQ(after[1].line, "山へ");

    std::atomic<bool> cancelled{true};
    EXPECT_TRUE(searchDiary(dir.path(), "い", standInFold, &cancelled).empty());
}
