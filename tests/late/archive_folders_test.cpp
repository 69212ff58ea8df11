// An archive read into another folder lives in that folder: nothing of the
// copy reaches back into the original book.
#include "late/late_parts.h"
#include "ledger/archive_folders.h"
#include "ledger/config_file.h"
#include "storage/disk_store.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace fs = std::filesystem;

namespace {

// Every file under `dir` with its bytes.
std::map<std::string, std::string> tree(const std::string& dir) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) out[e.path().string()] = readBytes(e.path().string());
    return out;
}

} // namespace

TEST(ArchiveFolders, ReadIntoAFreshFolderTheBookLivesThereAndOutsideFoldersAreAsked) {
    struct Case {
        bool ledgerOutside;
        bool keep; // the answer about the outside folder
    } cases[] = {{false, false}, {true, false}, {true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.ledgerOutside) + std::to_string(c.keep));
        TempFolder original, outside, fresh;
        const BookFolders book{original.path(),
                               c.ledgerOutside ? outside.path() : original.file("ledger"),
                               original.file("diary")};
        fs::create_directories(book.ledgerDir);
        fs::create_directories(book.diaryDir);
        writeBytes(original.file("ZADUD.CFG"),
                   "ZADUD=" + book.ledgerDir + "/\r\nMEMO=" + book.diaryDir + "\r\nkamo1=a\r\n");
        writeBytes(book.ledgerDir + "/20261.txt", "a,0,\r\n");
        writeBytes(book.diaryDir + "/2026115.nik", "day\r\n");
        const std::string zip = fs::temp_directory_path() / "archive_folders_test.zip";
        writeBookArchive(disk, lateZip(), book, zip);
        const auto originalBefore = tree(original.path());
        const auto outsideBefore = tree(outside.path());

        std::vector<ArchiveEntry> entries = readBookArchive(disk, lateZip(), zip);
        fs::remove(zip);
        std::vector<std::string> asked;
        const ArchiveTarget t =
            archiveTarget(entries, fresh.path(), {fresh.path(), fresh.path(), fresh.path()},
                          [&](const std::string& what, const std::string& path) {
                              asked.push_back(what + " " + path);
                              return c.keep;
                          });
        EXPECT_EQ(asked.size(), c.ledgerOutside ? 1u : 0u);
        const bool elsewhere = c.ledgerOutside && c.keep;
        EXPECT_EQ(t.folders.ledgerDir, elsewhere         ? outside.path()
                                       : c.ledgerOutside ? fresh.path()
                                                         : fresh.file("ledger"));
        EXPECT_EQ(t.folders.diaryDir, fresh.file("diary"));
        EXPECT_EQ(t.notices.size(), c.ledgerOutside && !c.keep ? 1u : 0u);
        entries = placedEntries(std::move(entries), t.folders);
        makeTargetFolders(t.folders);
        restoreBookArchive(disk, t.folders, entries);

        // The copy's configuration names the folders it was read into.
        MonthLedger names;
        std::string ledgerDir, diaryDir;
        readConfig(disk, fresh.path(), names, ledgerDir, diaryDir, isDirectory, isDirectory);
        EXPECT_EQ(ledgerDir, t.folders.ledgerDir);
        EXPECT_EQ(diaryDir, t.folders.diaryDir);
        EXPECT_EQ(names.Items[1].Name, "a");
        EXPECT_EQ(readBytes(t.folders.ledgerDir + "/20261.txt"), "a,0,\r\n");
        EXPECT_EQ(tree(original.path()), originalBefore) << "nothing written outside";
        if (!elsewhere) {
            EXPECT_EQ(tree(outside.path()), outsideBefore);
        }
    }
}

TEST(ArchiveFolders, AWholePathOfTheTargetsOwnFoldersIsNotAskedAbout) {
    // Archives written before folders were made relative name them whole.
    TempFolder here;
    const BookFolders current{here.path(), here.file("ledger"), here.path()};
    struct Case {
        std::string config;
        std::string ledgerDir;
        int asked;
    } cases[] = {
        {"ZADUD=" + here.file("ledger") + "\r\n", here.file("ledger"), 0},
        {"ZADUD=" + here.path() + "\r\n", here.path(), 0},
        {"ZADUD=./books\r\n", here.file("books"), 0},
        {"ZADUD=/elsewhere/books\r\n", here.path(), 1},
        {"kamo1=a\r\n", here.path(), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.config);
        std::vector<ArchiveEntry> entries(1);
        entries[0].file = {'C', ConfigFileName};
        entries[0].bytes = c.config;
        int asked = 0;
        const ArchiveTarget t = archiveTarget(entries, here.path(), current,
                                              [&](const std::string&, const std::string&) {
                                                  ++asked;
                                                  return false;
                                              });
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(t.folders.ledgerDir, c.ledgerDir);
        EXPECT_EQ(t.folders.diaryDir, here.path());
    }
}
