#include "app/backup_command.h"

#include "app/command_line.h"
#include "late/late_parts.h"
#include "ledger/archive_folders.h"
#include "ledger/book_archive.h"
#include "ledger/text_file.h"
#include "storage/backup_files.h"
#include "storage/disk_store.h"

#include <QDir>
#include <cstdio>

namespace {

// The folders in use; a data folder without ZADUD.CFG (a new machine) keeps
// everything in the working directory, as the program would.
BookFolders workingFolders() {
    DiskStore disk;
    const std::string here = QDir::currentPath().toStdString();
    if (!isDirectory(here) || !disk.stamp(joinPath(here, "ZADUD.CFG")).exists)
        return {here, here, here};
    const WorkingConfig cfg = readWorkingConfig();
    return {cfg.startDir, cfg.ledgerDir, cfg.diaryDir};
}

} // namespace

int runBackupCommand(const std::string& zipPath) {
    try {
        checkOutputFolder(zipPath);
        const BookFolders folders = workingFolders();
        const std::vector<BookFile> files = bookFiles(folders);
        DiskStore disk;
        writeBookArchive(disk, lateZip(), folders, zipPath);
        for (const BookFile& f : files)
            std::printf("%s\n", archiveEntryName(f).c_str());
        reportWritten(std::to_string(files.size()) + " 個のファイル", zipPath);
        return 0;
    } catch (const std::exception& e) {
        return reportFailure(e, 2);
    }
}

int runRestoreCommand(const std::string& zipPath, bool force) {
    DiskStore disk;
    try {
        checkInputFile(zipPath, "zip ファイル", 0);
        const BookFolders current = workingFolders();
        std::vector<ArchiveEntry> entries = readBookArchive(disk, lateZip(), zipPath);
        // Read here, the book lives here: a folder of the archive outside
        // its own book is not followed from the command line.
        const ArchiveTarget target = archiveTarget(entries, current.dataDir, current, {});
        for (const std::string& notice : target.notices)
            std::fprintf(stderr, "%s\n", notice.c_str());
        const BookFolders folders = target.folders;
        entries = placedEntries(std::move(entries), folders);
        bool replaces = false;
        for (const RestoreStep& step : restorePlan(disk, folders, entries)) {
            const char* what = step.action == RestoreAction::Create    ? "新規"
                               : step.action == RestoreAction::Replace ? "置換"
                                                                       : "同一";
            replaces = replaces || step.action == RestoreAction::Replace;
            std::printf("%s %s\n", what, step.path.c_str());
        }
        if (replaces && !force) {
            std::fprintf(stderr,
                         "置き換わるﾌｧｲﾙがあるため復元しませんでした (--force で置き換えます)\n");
            return 1;
        }
        // What a forced restore replaces stays in the backup history.
        BackupStore store(disk, [folders] { return folders; });
        store.setFailureHandler(
            [](const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); });
        makeTargetFolders(folders);
        restoreBookArchive(store, folders, entries);
        std::printf("%s から復元しました\n", zipPath.c_str());
        return 0;
    } catch (const std::exception& e) {
        return reportFailure(e, 2);
    }
}
