#pragma once
// The folders an archive's ZADUD.CFG names. Written into an archive, a
// folder inside the book's data folder is named relative to it ("." for the
// data folder itself), so that read into another folder the copy lives in
// that folder and never reaches back into the original. A folder outside
// stays as it was, and reading the archive asks about it.

#include "ledger/book_archive.h"

#include <functional>
#include <string>
#include <vector>

// ZADUD.CFG's bytes as archived: its ZADUD= and MEMO= folders inside
// `folders.dataDir` made relative; every other byte as it was.
std::string portableConfig(const std::string& cfgBytes, const std::string& dataDir);

// Asked about a folder the archive names outside its own data folder (or
// with a whole path, from an archive written before folders were made
// relative) that is not the target's own: `what` is "家計簿" or "日記帳",
// `path` the folder (UTF-8). True keeps it, false puts the files in the
// target data folder instead.
using OutsideFolderQuestion = std::function<bool(const std::string& what, const std::string& path)>;

struct ArchiveTarget {
    BookFolders folders;              // where the files go
    std::vector<std::string> notices; // folders put in the data folder instead (UTF-8)
};

// The folders the archive's files go to when read into `dataDir`, whose
// folders in use are `current`: the archive's own folders, relative ones
// inside `dataDir`; without a ZADUD.CFG in the archive, `current`.
ArchiveTarget archiveTarget(const std::vector<ArchiveEntry>& entries, const std::string& dataDir,
                            const BookFolders& current, const OutsideFolderQuestion& keepOutside);

// The entries with ZADUD.CFG naming `folders` by their whole paths.
std::vector<ArchiveEntry> placedEntries(std::vector<ArchiveEntry> entries,
                                        const BookFolders& folders);

// Makes the target's folders (and the ones above them) that are missing.
void makeTargetFolders(const BookFolders& folders);
