// The account book's zip archive: every file back byte for byte, in the
// folders in use, and what a restore would do told first.
#include "late/late_parts.h"
#include "ledger/book_archive.h"
#include "ledger/errors.h"
#include "storage/disk_store.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <utime.h>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace fs = std::filesystem;

TEST(BookArchive, RoundTripRestoresEveryFileByteForByteIntoTheFoldersInUse) {
    TempFolder tmp;
    const BookFolders book{tmp.path(), tmp.file("ledger"), tmp.file("diary")};
    fs::create_directories(book.ledgerDir);
    fs::create_directories(book.diaryDir);
    const std::map<std::string, std::string> files = {
        {"ZADUD.CFG", "ZADUD=x\r\nITEM1=\x90\x48\x94\xef\r\n"},
        {"ledger/199612.txt", std::string("\x93\xfa,0,\0\x1a\xff,\r\n", 12)},
        {"ledger/ZADUDBAK.CFG", "ALLDAYS=7\r\n"},
        {"diary/1998115.nik", ""},
        {"diary/19980115.nik", "\x82\xa0\r\n"},
    };
    auto pathOf = [&](const std::string& entry) { return tmp.file(entry); };
    for (const auto& [name, bytes] : files)
        writeBytes(pathOf(name), bytes);
    // Neither exports, hidden files nor the backup folder belong to the book.
    writeBytes(tmp.file("ledger/199612.csv"), "export");
    writeBytes(tmp.file("ledger/.199612.txt.x.zadud-tmp"), "torn");
    fs::create_directories(tmp.file("backup"));
    writeBytes(tmp.file("backup/BACKUP.IDX"), "");

    // Members keep their files' times, for whoever unpacks the archive.
    const struct utimbuf then { 1000000000, 1000000000 };
    ASSERT_EQ(::utime(pathOf("ledger/199612.txt").c_str(), &then), 0);

    writeBookArchive(disk, lateZip(), book, tmp.file("book.zip"));
    std::vector<ArchiveEntry> entries = readBookArchive(disk, lateZip(), tmp.file("book.zip"));
    std::map<std::string, std::string> read;
    for (const ArchiveEntry& e : entries)
        read[archiveEntryName(e.file)] = e.bytes;
    EXPECT_EQ(read, files);
    std::vector<ZipMember> members;
    ASSERT_EQ(lateParts().zipUnpack(
                  readBytes(tmp.file("book.zip")),
                  [](const std::string&, uint64_t) { return std::string(); }, members),
              "");
    for (const ZipMember& m : members)
        if (m.name == "ledger/199612.txt") EXPECT_EQ(m.mtime, 1000000000);

    // Into another machine's folders: one file missing, one changed.
    TempFolder other;
    const BookFolders there{other.path(), other.file("l"), other.file("d")};
    fs::create_directories(there.ledgerDir);
    fs::create_directories(there.diaryDir);
    writeBytes(other.file("ZADUD.CFG"), files.at("ZADUD.CFG"));
    writeBytes(other.file("l/199612.txt"), "changed\r\n");
    std::map<std::string, RestoreAction> plan;
    for (const RestoreStep& s : restorePlan(disk, there, entries))
        plan[s.entry] = s.action;
    EXPECT_EQ(plan, (std::map<std::string, RestoreAction>{
                        {"ZADUD.CFG", RestoreAction::Same},
                        {"diary/1998115.nik", RestoreAction::Create},
                        {"diary/19980115.nik", RestoreAction::Create},
                        {"ledger/199612.txt", RestoreAction::Replace},
                        {"ledger/ZADUDBAK.CFG", RestoreAction::Create},
                    }));
    restoreBookArchive(disk, there, entries);
    for (const ArchiveEntry& e : entries)
        EXPECT_EQ(readBytes(bookFilePath(there, e.file)), e.bytes) << e.file.name;

    writeBytes(tmp.file("not.zip"), "PK\x03\x04 but nothing more");
    EXPECT_THROW(readBookArchive(disk, lateZip(), tmp.file("not.zip")), AppError);
}

// An archive is read only when every name in it is one of the book's files,
// once: nothing outside the data, ledger and diary folders, no hidden file,
// no subfolder, no file twice, none larger than a book's file can be; and
// only when it holds one at all.
TEST(BookArchive, RefusesNamesOutsideTheBookNamesTwiceHugeFilesAndNoFile) {
    TempFolder tmp;
    const std::vector<ZipMember> refused[] = {
        {{"../evil.txt", "x"}},
        {{"ledger/../../evil.txt", "x"}},
        {{"diary/.hidden", "x"}},
        {{"other/x.txt", "x"}},
        {{"ledger/sub/199612.txt", "x"}},
        {{"ledger\\199612.txt", "x"}},
        {{"/etc/passwd", "x"}},
        {{"ledger/", ""}},
        {{"ledger/199612.txt", std::string((64u << 20) + 1, '0')}},
    };
    for (const std::vector<ZipMember>& members : refused) {
        std::string bytes;
        ASSERT_EQ(lateParts().zipPack(members, bytes), "") << members[0].name;
        writeBytes(tmp.file("bad.zip"), bytes);
        EXPECT_THROW(readBookArchive(disk, lateZip(), tmp.file("bad.zip")), AppError)
            << members[0].name;
    }
    // No member at all: the end record alone.
    writeBytes(tmp.file("empty.zip"), std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    EXPECT_THROW(readBookArchive(disk, lateZip(), tmp.file("empty.zip")), AppError);
    // Written by another tool: ledger/199612.txt twice.
    const std::string twice("\x50\x4b\x03\x04\x14\x00\x00\x00\x00\x00\xd2\x1b\x89\x5d\x43\xbe\xb7"
                            "\xe8\x01\x00\x00\x00\x01\x00"
                            "\x00\x00\x11\x00\x00\x00\x6c\x65\x64\x67\x65\x72\x2f\x31\x39\x39\x36"
                            "\x31\x32\x2e\x74\x78\x74\x61"
                            "\x50\x4b\x03\x04\x14\x00\x00\x00\x00\x00\xd2\x1b\x89\x5d\xf9\xef\xbe"
                            "\x71\x01\x00\x00\x00\x01\x00"
                            "\x00\x00\x11\x00\x00\x00\x6c\x65\x64\x67\x65\x72\x2f\x31\x39\x39\x36"
                            "\x31\x32\x2e\x74\x78\x74\x62"
                            "\x50\x4b\x01\x02\x14\x03\x14\x00\x00\x00\x00\x00\xd2\x1b\x89\x5d\x43"
                            "\xbe\xb7\xe8\x01\x00\x00\x00"
                            "\x01\x00\x00\x00\x11\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x80"
                            "\x01\x00\x00\x00\x00\x6c\x65"
                            "\x64\x67\x65\x72\x2f\x31\x39\x39\x36\x31\x32\x2e\x74\x78\x74\x50\x4b"
                            "\x01\x02\x14\x03\x14\x00\x00"
                            "\x00\x00\x00\xd2\x1b\x89\x5d\xf9\xef\xbe\x71\x01\x00\x00\x00\x01\x00"
                            "\x00\x00\x11\x00\x00\x00\x00"
                            "\x00\x00\x00\x00\x00\x00\x00\x80\x01\x30\x00\x00\x00\x6c\x65\x64\x67"
                            "\x65\x72\x2f\x31\x39\x39\x36"
                            "\x31\x32\x2e\x74\x78\x74\x50\x4b\x05\x06\x00\x00\x00\x00\x02\x00\x02"
                            "\x00\x7e\x00\x00\x00\x60\x00"
                            "\x00\x00\x00\x00",
                            244);
    writeBytes(tmp.file("twice.zip"), twice);
    EXPECT_THROW(readBookArchive(disk, lateZip(), tmp.file("twice.zip")), AppError);
}
