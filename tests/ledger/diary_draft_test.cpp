#include "ledger/diary_draft.h"
#include "storage/disk_store.h"

#include "ledger/backup_store.h"
#include "ledger/diary_file.h"
#include "ledger/sync_files.h"
#include "tests/support/file_support.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <set>

namespace {

DiaryDraft draftOf(int y, int m, int d, const std::string& base, const std::string& text) {
    return makeDiaryDraft(y, m, d, base, text);
}

// Counts the writes and removals that reach the disk.
class CountingStore : public ForwardingStore {
public:
    using ForwardingStore::ForwardingStore;
    void writeSafely(const std::string& path, const std::string& bytes) override {
        ++writes;
        ForwardingStore::writeSafely(path, bytes);
    }
    void remove(const std::string& path) override {
        ++removals;
        ForwardingStore::remove(path);
    }
    int writes = 0, removals = 0;
};

} // namespace

TEST(DiaryDraft, RecordsReadBackAsWritten) {
    // "日記" in CP932, a text CP932 cannot hold, an empty text, and a text
    // that looks like a record of its own.
    const std::vector<DiaryDraft> drafts = {
        draftOf(1998, 3, 7, "old\r\n", "\xe6\x97\xa5\xe8\xa8\x98\nline 2"),
        draftOf(2026, 12, 31, "", "emoji \xf0\x9f\x98\x80"),
        draftOf(2000, 2, 29, "x", ""),
        draftOf(9999, 12, 31, "x", "the last day"),
        draftOf(1, 1, 1, "", "a\r\nDAY 1998 3 8 0 0000000000000000 CP932 1\r\nb\r\n"),
    };
    EXPECT_EQ(drafts[0].bytes, "\x93\xfa\x8b\x4c\r\nline 2\r\n");
    EXPECT_FALSE(drafts[0].utf8);
    EXPECT_TRUE(drafts[1].utf8) << "kept whole, not refused";
    for (const DiaryDraft& d : drafts) {
        const std::vector<DiaryDraft> back = parseDiaryDrafts(formatDiaryDrafts({d}));
        ASSERT_EQ(back.size(), 1u) << d.bytes;
        EXPECT_EQ(back[0], d) << d.bytes;
    }
    EXPECT_EQ(parseDiaryDrafts(formatDiaryDrafts(drafts)), drafts);
    EXPECT_EQ(drafts[0].memoText(), "\xe6\x97\xa5\xe8\xa8\x98\nline 2");
    EXPECT_EQ(drafts[1].memoText(), "emoji \xf0\x9f\x98\x80");
}

TEST(DiaryDraft, DamagedRecordEndsTheReadingAndKeepsWhatCameBefore) {
    const std::string head = "NIKKIDRAFT 1\r\n";
    const std::string good = "DAY 1998 3 7 0 cbf29ce484222325 CP932 3\r\nabc\r\n";
    // A second record's header line, its text "abc"; each but the first two
    // spoils one field.
    const std::pair<const char*, bool> headers[] = {
        {"DAY 1998 3 8 0 cbf29ce484222325 CP932 3", true},
        {"DAY 9999 12 31 123 0123456789abcdef UTF8 3", true},
        {"DAX 1998 3 8 0 cbf29ce484222325 CP932 3", false},
        {"DAY 0 3 8 0 cbf29ce484222325 CP932 3", false},
        {"DAY 10000 3 8 0 cbf29ce484222325 CP932 3", false},
        {"DAY 1234567890123 3 8 0 cbf29ce484222325 CP932 3", false},
        {"DAY 1998 0 8 0 cbf29ce484222325 CP932 3", false},
        {"DAY 1998 13 8 0 cbf29ce484222325 CP932 3", false},
        {"DAY 1998 3. 8 0 cbf29ce484222325 CP932 3", false},
        {"DAY 1998 3 0 0 cbf29ce484222325 CP932 3", false},
        {"DAY 1998 3 32 0 cbf29ce484222325 CP932 3", false},
        {"DAY 1998 3 8a 0 cbf29ce484222325 CP932 3", false},
        {"DAY 1998 3 8 x cbf29ce484222325 CP932 3", false},
        {"DAY 1998 3 8 0 cbf29ce48422232 CP932 3", false},
        {"DAY 1998 3 8 0 cbf29ce48422232g CP932 3", false},
        {"DAY 1998 3 8 0 cbf29ce484222325 JIS 3", false},
        {"DAY 1998 3 8 0 cbf29ce484222325 CP932 +3", false},
        {"DAY 1998 3 8 0 cbf29ce484222325 CP932 -3", false},
        {"DAY 1998 3 8 0 cbf29ce484222325 CP932 2", false}, // no line end after the text
        {"DAY 1998 3 8 0 cbf29ce484222325 CP932 999999", false},
        {"DAY 1998 3 8 0 cbf29ce484222325 CP932 3 x", false},
    };
    for (const auto& [header, valid] : headers)
        EXPECT_EQ(parseDiaryDrafts(head + good + header + "\r\nabc\r\n").size(), valid ? 2u : 1u)
            << header;
    // The file around the records: its head, and a record cut short.
    const std::pair<std::string, std::size_t> files[] = {
        {head + good, 1},
        {"NIKKIDRAFT 2\r\n" + good, 0},
        {good, 0},
        {head, 0},
        {head + good + "DAY 1998 3 8 0 cbf29ce484222325 CP932 9\r\nab", 1},
        {head + good + "DAY 1998 3 8", 1},
    };
    for (const auto& [bytes, kept] : files)
        EXPECT_EQ(parseDiaryDrafts(bytes).size(), kept) << bytes;

    // A day twice: the later record is the one kept.
    const std::vector<DiaryDraft> twice = parseDiaryDrafts(
        formatDiaryDrafts({draftOf(1998, 3, 7, "", "first"), draftOf(1998, 3, 8, "", "other"),
                           draftOf(1998, 3, 7, "", "second")}));
    ASSERT_EQ(twice.size(), 2u);
    EXPECT_EQ(twice[0].memoText(), "other");
    EXPECT_EQ(twice[1].memoText(), "second");
}

TEST(DiaryDraft, StartedFromOnlyTheBytesItWasTypedOver) {
    const DiaryDraft d = draftOf(1998, 3, 7, "abc\r\n", "typed");
    const std::pair<const char*, bool> files[] = {
        {"abc\r\n", true}, {"abd\r\n", false}, {"abc\r\n\r\n", false}, {"", false}};
    for (const auto& [file, same] : files)
        EXPECT_EQ(d.startedFrom(file), same) << file;
}

TEST(DiaryDraft, FileKeepsOneRecordPerDayAndGoesWithTheLast) {
    TempFolder dir;
    DiskStore disk;
    CountingStore files(disk);
    const std::string path = dir.file(diaryDraftFileName("pc-a"));
    DiaryDraftFile file(files, path);
    EXPECT_TRUE(file.read().empty()) << "no file, no drafts";

    file.drop(1998, 3, 7);
    EXPECT_EQ(files.writes + files.removals, 0) << "nothing to drop writes nothing";

    const DiaryDraft a1 = draftOf(1998, 3, 7, "", "a1"), a2 = draftOf(1998, 3, 7, "", "a2"),
                     b = draftOf(1998, 3, 8, "", "b");
    struct Step {
        char op; // k: keep, d: drop
        DiaryDraft draft;
        std::vector<DiaryDraft> after;
        int writes;
    } steps[] = {
        {'k', a1, {a1}, 1},   {'k', a1, {a1}, 1}, // the same text again writes nothing
        {'k', b, {a1, b}, 2}, {'k', a2, {a2, b}, 3}, {'d', b, {a2}, 4},
        {'d', b, {a2}, 4},    {'d', a2, {}, 4},
    };
    for (const Step& s : steps) {
        if (s.op == 'k')
            file.keep(s.draft);
        else
            file.drop(s.draft.year, s.draft.month, s.draft.day);
        EXPECT_EQ(file.read(), s.after) << s.op << s.draft.memoText();
        EXPECT_EQ(files.writes, s.writes) << s.op << s.draft.memoText();
    }
    EXPECT_EQ(files.removals, 1);
    EXPECT_FALSE(fileExists(path));

    // A file that cannot be read is never written over.
    file.keep(a1);
    disk.setFaults(
        [](const std::string&, const std::string& step) { return step == "read" ? EACCES : 0; });
    EXPECT_THROW(file.keep(b), std::exception);
    EXPECT_THROW(file.drop(1998, 3, 7), std::exception);
    disk.setFaults(nullptr);
    EXPECT_EQ(file.read(), std::vector<DiaryDraft>{a1});
}

TEST(DiaryDraft, NamesAreEachPcsOwnAndNoBookFileToKeepVersionsOf) {
    EXPECT_EQ(diaryDraftFileName("pc-a"), "ZADUD-pc-a.NIKD");
    EXPECT_EQ(diaryDraftFileName(""), "ZADUD.NIKD");
    const BookFolders folders{"/data", "/ledger", "/diary", "pc-a"};
    struct Case {
        const char* name;
        bool draft;
    } cases[] = {
        {"ZADUD-pc-a.NIKD", true}, {"ZADUD-other.NIKD", true},
        {"ZADUD.NIKD", true},      {"ZADUD-pc-a.nikd", true},
        {"ZADUD-pc-a.JNL", false}, {"199837.NIKD", false},
        {"ZADUD-pc-a.NIK", false}, {"NIKD", false},
    };
    // Each PC's draft beside the others' is no sync tool's copy of a file.
    const std::set<std::string> present{"ZADUD-pc-a.NIKD", "ZADUD-pc-b.NIKD", "ZADUD-pc-a.JNL"};
    for (const std::string& name : present) {
        std::string original;
        EXPECT_FALSE(conflictCopyOf(name, {"pc-a", "pc-b"}, present, original)) << name;
    }
    for (const Case& c : cases) {
        EXPECT_EQ(isDiaryDraftFileName(c.name), c.draft) << c.name;
        BookFile file;
        EXPECT_EQ(classifyBookFile(folders, std::string("/ledger/") + c.name, file), !c.draft)
            << c.name;
    }
}

// What the main window's start-up note says is in its own test; here, the
// days it names.
TEST(DiaryDraft, StartNoteNamesTheDaysWhoseTextWasNotSaved) {
    const DiaryDraft march = draftOf(1998, 3, 7, "", "text"), dec = draftOf(1998, 12, 25, "", "x");
    struct Case {
        std::vector<DiaryDraft> drafts;
        std::string march7File; // "" for none
        std::string days;       // the days named, "" for no note
    } cases[] = {
        {{march}, "", "1998年3月7日"},
        {{march, dec}, "text\r\n", "1998年12月25日"},
        {{march, dec}, "", "1998年3月7日、1998年12月25日"},
        {{march, dec}, "old\r\n", "1998年3月7日、1998年12月25日"},
    };
    for (const Case& c : cases) {
        TempFolder ledger, diary;
        DiskStore disk;
        writeBytes(ledger.file(diaryDraftFileName("pc-a")), formatDiaryDrafts(c.drafts));
        if (!c.march7File.empty()) writeBytes(diary.file("199837.nik"), c.march7File);
        EXPECT_EQ(unsavedDiaryNote(disk, ledger.path(), diary.path(), "pc-a"),
                  "前回保存されなかった日記の入力があります (" + c.days +
                      ")。その日の日記を開くと入力が戻ります。")
            << c.days;
        EXPECT_EQ(fileExists(diary.file("199837.nik")), !c.march7File.empty())
            << "no day file is made";
    }
    // A draft file that cannot be read says nothing now; the diary tries again.
    TempFolder ledger, diary;
    writeBytes(ledger.file(diaryDraftFileName("pc-a")), formatDiaryDrafts({march}));
    DiskStore refusing([](const std::string& path, const std::string& step) {
        return step == "read" && path.find("NIKD") != std::string::npos ? EACCES : 0;
    });
    EXPECT_EQ(unsavedDiaryNote(refusing, ledger.path(), diary.path(), "pc-a"), "");
}
