#pragma once
// The whole account book in one zip archive: ZADUD.CFG at the top, the
// ledger folder's files (months and side files) under "ledger/", the diary
// days under "diary/". Restoring puts each file back byte for byte into the
// folders in use, through the safe writer.

#include "ledger/backup_store.h"
#include "ledger/file_store.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One file in a zip archive.
struct ZipMember {
    std::string name;
    std::string bytes;
    int64_t mtime = -1; // seconds since 1970; -1 when unknown
};

// Said of each member before it is read: an empty answer reads it, any
// other ends the reading with that answer as the error.
using ZipMemberCheck = std::function<std::string(const std::string& name, uint64_t size)>;

// The zip format, handed in (the late parts hold it). Both return an empty
// string, or what went wrong.
struct ZipCodec {
    std::function<std::string(const std::vector<ZipMember>& members, std::string& bytes)> pack;
    std::function<std::string(const std::string& bytes, const ZipMemberCheck& check,
                              std::vector<ZipMember>& members)>
        unpack;
};

struct ArchiveEntry {
    BookFile file;
    std::string bytes;
};

// "ZADUD.CFG", "ledger/199612.txt", "diary/1998115.nik".
std::string archiveEntryName(const BookFile& file);

// Every file of the book in the three folders, each once.
std::vector<BookFile> bookFiles(const BookFolders& folders);

// Writes the archive through the safe writer. Throws AppError.
void writeBookArchive(FileStore& files, const ZipCodec& zip, const BookFolders& folders,
                      const std::string& zipPath);

// The files of an archive. One that is no zip file, or holds anything but
// the book's files, throws AppError naming why.
std::vector<ArchiveEntry> readBookArchive(FileStore& files, const ZipCodec& zip,
                                          const std::string& zipPath);

enum class RestoreAction { Create, Replace, Same };
struct RestoreStep {
    std::string entry; // archiveEntryName
    std::string path;
    RestoreAction action;
};
// What restoring would do to each file, in the archive's order.
std::vector<RestoreStep> restorePlan(FileStore& files, const BookFolders& folders,
                                     const std::vector<ArchiveEntry>& entries);
// No account book comes near this in all; an archive past it is refused
// before anything is unpacked or written.
constexpr uint64_t MaxArchiveTotal = 256u << 20;

struct RestoreLimits {
    uint64_t total = MaxArchiveTotal;
    // Bytes free in a folder (the store's by default); a test seam.
    std::function<uint64_t(const std::string& dir)> freeSpace;
};

// Writes every file that is missing or differs, all or nothing: the total is
// checked against the limit and each folder's free space before the first
// write, and a write that fails puts back the files written before it (and
// removes the ones it created). Throws AppError naming why.
void restoreBookArchive(FileStore& files, const BookFolders& folders,
                        const std::vector<ArchiveEntry>& entries, const RestoreLimits& limits = {});
