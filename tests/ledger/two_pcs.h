#pragma once
// Two PCs on one book, each in a folder of its own; what a sync tool would
// do (whole files copied, one side's copy of a file changed on both winning,
// the other's left as a conflict copy) is done here by hand, so the merge
// rules are tried without one.
#include "ledger/book.h"
#include "ledger/sync_files.h"
#include "ledger/sync_imports.h"
#include "storage/disk_store.h"
#include "tests/support/file_support.h"

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace twopcs {

inline DiskStore& disk() {
    static DiskStore store;
    return store;
}

// 食費 and 給与.
inline const std::string Config = "kamo1=\x90\x48\x94\xef\r\nkamo2=\x8b\x8b\x97\x5e\r\n";

// One PC: its folder and its book, showing October so that December's
// changes go to the file at once. Each PC's clock ticks a second a step on
// a counter the PCs share.
struct PcBook {
    std::string name;
    TempFolder dir;
    std::unique_ptr<Book> book;
    int* tick;

    PcBook(std::string pc, int* clock) : name(std::move(pc)), tick(clock) {
        writeBytes(dir.file("ZADUD.CFG"), Config);
    }
    Book& open() {
        // A program that closes makes its deferred files durable first.
        if (book) book->saveMonth();
        book = std::make_unique<Book>(dir.path(), disk(), [this] {
            char t[32];
            std::snprintf(t, sizeof t, "2026-12-24T10:%02d:%02d", *tick / 60, *tick % 60);
            ++*tick;
            return std::string(t);
        });
        book->setPcName(name);
        book->readConfiguration(isDirectory, isDirectory);
        book->setShown({2026, 10});
        book->loadMonths();
        return *book;
    }
};

// The PC whose own file `n` is (journal, step file, import log); empty for
// a shared file.
inline std::string ownerOf(const std::string& n) {
    std::string pc;
    if (pcOfJournalName(n, pc) || pcOfImportLogName(n, pc) ||
        (n.size() > 4 && pcOfJournalName(n.substr(0, n.size() - 4) + ".JNL", pc)))
        return pc;
    return {};
}

enum class Winner { A, B };

// Each PC's own files go to the other (unless `journals` is false); a shared
// file that differs ends as the winner's on both, the loser's left beside it
// as a conflict copy when `leaveCopy` (shared files stay as they are unless
// `shared`).
inline void syncFolders(PcBook& a, PcBook& b, Winner winner, bool leaveCopy, bool journals = true,
                        bool shared = true) {
    std::set<std::string> names;
    for (PcBook* pc : {&a, &b}) {
        std::vector<std::string> listed;
        disk().list(pc->dir.path(), listed);
        for (const std::string& n : listed)
            if (!disk().isDirectory(pc->dir.file(n))) names.insert(n);
    }
    PcBook& win = winner == Winner::A ? a : b;
    PcBook& lose = winner == Winner::A ? b : a;
    for (const std::string& n : names) {
        if (const std::string owner = ownerOf(n); !owner.empty()) {
            if (!journals) continue;
            PcBook& from = owner == a.name ? a : b;
            PcBook& to = owner == a.name ? b : a;
            if (fileExists(from.dir.file(n)))
                writeBytes(to.dir.file(n), readBytes(from.dir.file(n)));
            continue;
        }
        if (!shared) continue;
        const bool inWin = fileExists(win.dir.file(n)), inLose = fileExists(lose.dir.file(n));
        const std::string w = readBytes(win.dir.file(n)), l = readBytes(lose.dir.file(n));
        if (inWin && inLose && w != l && leaveCopy) {
            const auto dot = n.rfind('.');
            const std::string copy =
                n.substr(0, dot) + ".sync-conflict-20261224-100000-ABCDEFG" + n.substr(dot);
            writeBytes(win.dir.file(copy), l);
            writeBytes(lose.dir.file(copy), l);
        }
        const std::string bytes = inWin ? w : l;
        writeBytes(a.dir.file(n), bytes);
        writeBytes(b.dir.file(n), bytes);
    }
}

} // namespace twopcs
