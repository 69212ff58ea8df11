#pragma once
// The whole account book in one zip archive: ZADUD.CFG at the top, the
// ledger folder's files (months and side files) under "ledger/", the diary
// days under "diary/". Restoring puts each file back byte for byte into the
// folders in use, through the safe writer.

#include "ledger/backup_store.h"

#include <string>
#include <vector>

struct ArchiveEntry {
    BookFile file;
    std::string bytes;
};

// "ZADUD.CFG", "ledger/199612.txt", "diary/1998115.nik".
std::string archiveEntryName(const BookFile& file);

// Every file of the book in the three folders, each once.
std::vector<BookFile> bookFiles(const BookFolders& folders);

// Writes the archive through the safe writer. Throws AppError.
void writeBookArchive(const BookFolders& folders, const std::string& zipPath);

// The files of an archive. One that is no zip file, or holds anything but
// the book's files, throws AppError naming why.
std::vector<ArchiveEntry> readBookArchive(const std::string& zipPath);

enum class RestoreAction { Create, Replace, Same };
struct RestoreStep {
    std::string entry; // archiveEntryName
    std::string path;
    RestoreAction action;
};
// What restoring would do to each file, in the archive's order.
std::vector<RestoreStep> restorePlan(const BookFolders& folders,
                                     const std::vector<ArchiveEntry>& entries);
// Writes every file that is missing or differs; throws AppError at the
// first file that cannot be written.
void restoreBookArchive(const BookFolders& folders, const std::vector<ArchiveEntry>& entries);
