#include "app/sync_command.h"

#include "app/command_line.h"

#include "ledger/book.h"
#include "ledger/config_file.h"
#include "ledger/sync_merge.h"
#include "storage/disk_store.h"
#include "storage/local_clock.h"

#include <QDir>
#include <cstdio>

namespace {

void printLine(const std::string& line) {
    std::printf("%s\n", line.c_str());
}

} // namespace

int runSyncCommand() {
    DiskStore disk;
    try {
        Book book(QDir::currentPath().toStdString(), disk, localStamp);
        // What an earlier run left half-written was finished before (as for
        // every command).
        book.readConfiguration(isDirectory, isDirectory);
        const SyncReport report = syncBook(book);
        for (const std::string& line : report.lines())
            printLine(line);
        printLine("同期: 直した値 " + std::to_string(report.mended.size()) + " 件、確認の要る値 " +
                  std::to_string(report.conflicts.size()) + " 件、競合コピー " +
                  std::to_string(report.setAside.size()) + " 件");
        std::fflush(stdout);
        return report.conflicts.empty() ? 0 : 3;
    } catch (const std::exception& e) {
        return reportFailure(e, 1);
    }
}

int runUndoCommand() {
    DiskStore disk;
    try {
        Book book(QDir::currentPath().toStdString(), disk, localStamp);
        book.readConfiguration(isDirectory, isDirectory);
        if (!book.canUndo()) {
            std::fprintf(stderr, "元に戻せる変更はありません\n");
            return 1;
        }
        const std::string what = book.undoText();
        // A value changed since the step is refused with its message: a
        // script cannot be asked.
        book.undo();
        printLine("元に戻しました: " + what);
        std::fflush(stdout);
        return 0;
    } catch (const std::exception& e) {
        return reportFailure(e, 1);
    }
}
