// The edges of the names a PC gives its own files and of the names a sync
// tool gives its copies: one character or one letter of length either way
// decides whether a file is the book's own, another PC's, or a copy.
#include "ledger/sync_files.h"
#include "ledger/sync_merge.h"
#include "storage/disk_store.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

// Each character class's first and last character, and the characters just
// outside them, which a PC's own file name never holds.
TEST(SyncFileNames, APcNameHoldsLettersDigitsDashAndUnderscoreUpTo32) {
    const std::string longest(PcNameMax, 'x');
    struct Row {
        std::string raw;  // the name as the system gives it
        std::string safe; // as the program keeps it
        bool journal;     // ZADUD-<raw>.JNL is a PC's journal
    };
    const std::vector<Row> rows = {
        {"a", "a", true},
        {"z", "z", true},
        {"A", "A", true},
        {"Z", "Z", true},
        {"0", "0", true},
        {"9", "9", true},
        {"-", "-", true},
        {"_", "_", true},
        {"`", "_", false}, // before 'a', and after '_'
        {"{", "_", false}, // after 'z'
        {"@", "_", false}, // before 'A'
        {"[", "_", false}, // after 'Z'
        {"/", "_", false}, // before '0'
        {":", "_", false}, // after '9'
        {",", "_", false}, // before '-'
        {"^", "_", false}, // before '_'
        {"pc 1", "pc_1", false},
        {longest, longest, true},
        {longest + "y", longest, false},
        {"", "pc", false},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(safePcName(r.raw), r.safe) << "[" << r.raw << "]";
        std::string pc = "before";
        EXPECT_EQ(pcOfJournalName(pcJournalName(r.raw), pc), r.journal) << "[" << r.raw << "]";
        EXPECT_EQ(pc, r.journal ? r.raw : "before") << "[" << r.raw << "]";
    }
    std::string pc;
    for (const char* other : {"ZADUD.JNL", "ZADUD-pc.SEQ", "XADUD-pc.JNL", "ZADUD-pc.JNLX"})
        EXPECT_FALSE(pcOfJournalName(other, pc)) << other;
}

// A name is a copy only with something left of it once the PC's part or
// the sync tool's part is taken off, and never one of the book's own files.
TEST(SyncFileNames, ACopyLeavesANameOfAtLeastOneCharacter) {
    const std::set<std::string> pcs{"laptop", "l", "pc-a"};
    const std::set<std::string> present{".txt",      "x.txt",      "NOTES",     "ZADUD.SEQ",
                                        "ZADUD.JNL", "202612.txt", "ZADUD.BGT", "TEIKI.TXT"};
    struct Row {
        const char* name;
        const char* original; // "" when it is no copy
    };
    const std::vector<Row> rows = {
        {"x-laptop.txt", "x.txt"},
        {"x.laptop.txt", "x.txt"},
        {"-laptop.txt", ""}, // the PC's part is the whole stem
        {".laptop.txt", ""},
        {"NOTES-l", "NOTES"}, // no extension
        {"NOTES-laptop", "NOTES"},
        {"-laptop", ""},
        {"x-l.txt", "x.txt"},
        {"ZADUD-l.SEQ", ""}, // PC l's step file, beside the book's old one
        {"ZADUD-l.JNL", ""},
        {"ZADUD.l.SEQ", "ZADUD.SEQ"},
        {".sync-conflict-20261224-101500-ABC1234.txt", ""},
        {"x.sync-conflict-20261224-101500-ABC1234.txt", "x.txt"},
        {" (Hanako's conflicted copy 2026-12-24).txt", ""},
        {"x (Hanako's conflicted copy 2026-12-24).txt", "x.txt"},
        {"ZADUD.sync-conflict-20261224-101500-ABC1234.BGT", "ZADUD.BGT"},
        {"TEIKI.pc-a.TXT", "TEIKI.TXT"},
        {"202612-desk.txt", ""},   // not a known PC
        {"202611-laptop.txt", ""}, // no such file beside it
        {"ZADUD-pc-a.JNL", ""},    // the PC's own journal
        {"202612.sync-conflict-2026-ABC.txt", ""},
        {"202612.txt", ""},
    };
    for (const Row& r : rows) {
        std::string original = "before";
        const bool copy = *r.original != '\0';
        EXPECT_EQ(conflictCopyOf(r.name, pcs, present, original), copy) << r.name;
        if (copy) {
            EXPECT_EQ(original, r.original) << r.name;
        }
    }
}

// Copies of one name set aside one after another are all kept, each under a
// name of its own, the first under its own name.
TEST(SyncFileNames, CopiesOfOneNameSetAsideAreAllKept) {
    TempFolder dir;
    DiskStore disk;
    const std::string copy = dir.file("x.sync-conflict-20261224-101500-ABC1234.txt");
    std::vector<std::string> moved;
    for (const char* bytes : {"one", "two", "three"}) {
        writeBytes(copy, bytes);
        moved.push_back(moveAside(disk, copy, dir.file("aside")));
    }
    const std::string kept = dir.file("aside/x.sync-conflict-20261224-101500-ABC1234.txt");
    EXPECT_EQ(moved, (std::vector<std::string>{kept, kept + ".2", kept + ".3"}));
    EXPECT_EQ(readBytes(kept + ".3"), "three");
    EXPECT_FALSE(fileExists(copy));
}

} // namespace
