// Backups with history: the keep rules over a year of saves, what an
// unchanged save keeps, and a backup folder that fails under a save.
#include "ledger/errors.h"
#include "ledger/text_file.h"
#include "storage/backup_files.h"
#include "storage/disk_store.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <utility>

namespace fs = std::filesystem;

namespace {

class Backups : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        disk.setSync([](int) { return 0; });
        store.setFailureHandler([this](const std::string& m) { told.push_back(m); });
    }
    TempFolder dir;
    std::time_t now = 1767225600; // 2026-01-01 00:00 UTC
    // Saves go through the store, which keeps backups on the disk beneath.
    DiskStore disk;
    BackupStore store{disk,
                      [this] {
                          return BookFolders{dir.path(), dir.path(), dir.path()};
                      },
                      [this] { return now; }};
    std::vector<std::string> told;
};

TEST_F(Backups, AYearOfSavesKeepsAllOfAWeekThenOneADayThenOneAMonth) {
    const std::string month = dir.file("202512.txt");
    const std::time_t step = 12 * 3600, start = now;
    // The last save a whole year on: one version is exactly a week old.
    const int saves = 365 * 2 + 1;
    auto contents = [](int k) { return "v" + std::to_string(k) + "\r\n"; };
    std::map<std::time_t, std::string> replaced; // save time -> bytes it replaced
    for (int k = 0; k < saves; ++k) {
        now = start + k * step;
        if (k > 0) replaced[now] = contents(k - 1);
        store.writeSafely(month, contents(k));
        store.writeSafely(month, contents(k)); // unchanged: keeps nothing
    }
    store.writeSafely(dir.file("202512.csv"), "an export"); // not a file of the book
    store.writeSafely(dir.file("202512.csv"), "kept by nobody");

    // The expected set, from the rules as a user reads them: a day or a
    // month is kept as it was at its end.
    const std::time_t day = 86400, week = now - 7 * day;
    std::tm tm{};
    gmtime_r(&week, &tm);
    tm.tm_mon -= 3;
    const std::time_t daily = timegm(&tm);
    std::map<std::string, std::time_t> lastOfDay, lastOfMonth;
    auto label = [](std::time_t t, const char* format) {
        char text[16];
        std::tm tm{};
        gmtime_r(&t, &tm);
        std::strftime(text, sizeof text, format, &tm);
        return std::string(text);
    };
    for (const auto& [t, bytes] : replaced) {
        lastOfDay[label(t, "%Y%m%d")] = t;
        lastOfMonth[label(t, "%Y%m")] = t;
    }
    std::vector<std::time_t> expected;
    for (const auto& [t, bytes] : replaced)
        if (t >= week || (t >= daily && lastOfDay[label(t, "%Y%m%d")] == t) ||
            (t < daily && lastOfMonth[label(t, "%Y%m")] == t))
            expected.push_back(t);
    std::sort(expected.rbegin(), expected.rend());

    const std::vector<BackupVersion> kept = store.versions(month);
    std::vector<std::time_t> times;
    for (const BackupVersion& v : kept)
        times.push_back(v.time);
    EXPECT_EQ(times, expected);
    EXPECT_TRUE(told.empty());
    for (std::size_t i : {std::size_t(0), kept.size() / 2, kept.size() - 1})
        EXPECT_EQ(store.bytesOf(kept[i]), replaced[kept[i].time]);
    EXPECT_TRUE(store.versions(dir.file("202512.csv")).empty());
    // Objects of pruned versions are gone: the index and one object per version.
    std::size_t files = 0;
    for (const auto& e : fs::directory_iterator(dir.file("backup")))
        files += e.is_regular_file();
    EXPECT_EQ(files, kept.size() + 1);

    // Rules that keep a day and then one a day, a year later: a save of
    // another file prunes this one's too, but never its newest version.
    writeBackupSettings(disk, dir.path(), {"", {1, 1, 1}});
    now += 400 * day;
    const std::string january = dir.file("202601.txt");
    writeBytes(january, "a\r\n");
    store.writeSafely(january, "b\r\n");
    ASSERT_EQ(store.versions(month).size(), 1u);
    EXPECT_EQ(store.bytesOf(store.versions(month)[0]), contents(saves - 2));
    // Contents that return to an earlier state: the first "a" is pruned,
    // the day's last, the same bytes, stays.
    const std::time_t midnight = now;
    for (const auto& [hours, bytes] :
         {std::pair<int, const char*>{1, "a\r\n"}, {23, "c\r\n"}, {72, "d\r\n"}}) {
        now = midnight + hours * 3600;
        store.writeSafely(january, bytes);
    }
    const std::vector<BackupVersion> left = store.versions(january);
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(store.bytesOf(left[0]), "c\r\n");
    EXPECT_EQ(store.bytesOf(left[1]), "a\r\n");
}

TEST_F(Backups, AFailingBackupFolderNeverBlocksTheSaveAndIsToldOncePerSpell) {
    const std::string month = dir.file("199612.txt");
    writeBytes(month, "old\r\n");
    int spell = 0;
    disk.setFaults([&](const std::string& path, const std::string& step) {
        return spell && path.find("/backup/") != std::string::npos && step == "write" ? ENOSPC : 0;
    });
    spell = 1;
    for (const char* bytes : {"one\r\n", "two\r\n"}) {
        store.writeSafely(month, bytes);
        EXPECT_EQ(readBytes(month), bytes);
    }
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], backupFailureMessage(msg::DiskFull));
    EXPECT_TRUE(store.failing());

    spell = 0;
    store.writeSafely(month, "three\r\n");
    EXPECT_FALSE(store.failing());
    ASSERT_EQ(store.versions(month).size(), 1u);
    EXPECT_EQ(store.bytesOf(store.versions(month)[0]), "two\r\n");

    // The folder gone: a file stands where it should be.
    writeBackupSettings(disk, dir.path(), {dir.file("gone/backup"), {}});
    writeBytes(dir.file("gone"), "");
    store.writeSafely(month, "four\r\n");
    EXPECT_EQ(readBytes(month), "four\r\n");
    EXPECT_EQ(told.size(), 2u);
}

TEST(BackupSettingsFile, RoundTripsAndADamagedLineKeepsItsDefault) {
    TempFolder dir;
    DiskStore disk;
    const BackupSettings s{"/srv/kakeibo backup", {14, 6, 24}};
    writeBackupSettings(disk, dir.path(), s);
    bool damaged = true;
    const BackupSettings back = readBackupSettings(disk, dir.path(), &damaged);
    EXPECT_EQ(back.folder, s.folder);
    EXPECT_EQ(back.keep, s.keep);
    EXPECT_FALSE(damaged);
    writeBytes(dir.file(BackupSettingsFileName), "ALLDAYS=x\r\nDAILYMONTHS=2\r\n");
    EXPECT_EQ(readBackupSettings(disk, dir.path(), &damaged).keep, (KeepRules{7, 2, 0}));
    EXPECT_TRUE(damaged);
}

TEST_F(Backups, EachPcKeepsItsOwnBackupsAndStillFindsTheSharedOnes) {
    // Two PCs on one synced data folder, and what a single PC kept before.
    auto pcStore = [this](const std::string& pc) {
        return std::make_unique<BackupStore>(
            disk,
            [this, pc] {
                return BookFolders{dir.path(), dir.path(), dir.path(), pc};
            },
            [this] { return now; });
    };
    const std::string month = dir.file("202512.txt");
    store.writeSafely(month, "old\r\n");
    store.writeSafely(month, "shared\r\n"); // "old" kept in backup/
    auto a = pcStore("A"), b = pcStore("B");
    now += 60;
    a->writeSafely(month, "by A\r\n"); // "shared" kept by A
    now += 60;
    b->writeSafely(month, "by B\r\n"); // "by A" kept by B
    const struct {
        BackupStore* store;
        std::vector<std::string> newestFirst;
    } cases[] = {
        {&store, {"old\r\n"}},
        {a.get(), {"shared\r\n", "old\r\n"}},
        {b.get(), {"by A\r\n", "old\r\n"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> bytes;
        for (const BackupVersion& v : c.store->versions(month))
            bytes.push_back(c.store->bytesOf(v));
        EXPECT_EQ(bytes, c.newestFirst);
    }
    // Each index is written by one PC alone.
    EXPECT_NE(readBytes(dir.file("backup/A/BACKUP.IDX")).find(",L,"), std::string::npos);
    EXPECT_NE(readBytes(dir.file("backup/B/BACKUP.IDX")).find(",L,"), std::string::npos);
    const std::string shared = readBytes(dir.file("backup/BACKUP.IDX"));
    EXPECT_EQ(std::count(shared.begin(), shared.end(), '\n'), 1);
}

TEST(BackupSettingsFile, APcReadsItsOwnFileElseTheSharedOneAndWritesOnlyItsOwn) {
    TempFolder dir;
    DiskStore disk;
    writeBackupSettings(disk, dir.path(), {"/shared", {1, 2, 3}});
    const BookFolders folders{dir.path(), dir.path(), dir.path(), "A"};
    const struct {
        std::string pc;
        std::string folder;
        std::string inUse;
    } before[] = {
        {"", "/shared", "/shared"},
        {"A", "/shared", "/shared/A"},
    };
    for (const auto& c : before) {
        const BackupSettings s = readBackupSettings(disk, dir.path(), nullptr, c.pc);
        EXPECT_EQ(s.folder, c.folder);
        EXPECT_EQ(s.keep, (KeepRules{1, 2, 3}));
        EXPECT_EQ(backupFolderOf({dir.path(), dir.path(), dir.path(), c.pc}, s), c.inUse);
    }
    writeBackupSettings(disk, dir.path(), {"", {4, 5, 6}}, "A");
    EXPECT_EQ(readBackupSettings(disk, dir.path(), nullptr, "A").keep, (KeepRules{4, 5, 6}));
    EXPECT_EQ(readBackupSettings(disk, dir.path(), nullptr, "B").keep, (KeepRules{1, 2, 3}));
    EXPECT_EQ(readBackupSettings(disk, dir.path()).folder, "/shared");
    const BackupSettings own = readBackupSettings(disk, dir.path(), nullptr, "A");
    EXPECT_EQ(backupFolderOf(folders, own), dir.file("backup/A"));
    EXPECT_EQ(sharedBackupFolderOf(folders, own), dir.file("backup"));
    EXPECT_EQ(sharedBackupFolderOf({dir.path(), dir.path(), dir.path()}, own), "");
}

} // namespace
