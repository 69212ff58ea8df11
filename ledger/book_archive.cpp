#include "ledger/book_archive.h"

#include "ledger/archive_folders.h"

#include "ledger/config_file.h"
#include "ledger/errors.h"
#include "ledger/text_file.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <memory>

namespace fs = std::filesystem;

namespace {

// No file of the book comes near this; a larger entry is no account book.
constexpr uint64_t MaxEntrySize = 64u << 20;

AppError notAnArchive(const std::string& path, const std::string& why) {
    return AppError(path + ": 家計簿のｱｰｶｲﾌﾞではありません (" + why + ")");
}

bool entryFile(const std::string& name, BookFile& file) {
    if (name == ConfigFileName) {
        file = {'C', name};
        return true;
    }
    for (const auto& [prefix, kind] :
         {std::pair<std::string, char>{"ledger/", 'L'}, {"diary/", 'D'}}) {
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string rest = name.substr(prefix.size());
        if (rest.empty() || rest[0] == '.' || rest.find('/') != std::string::npos ||
            rest.find('\\') != std::string::npos)
            return false;
        file = {kind, rest};
        return true;
    }
    return false;
}

} // namespace

std::string archiveEntryName(const BookFile& file) {
    return file.kind == 'C' ? file.name : (file.kind == 'D' ? "diary/" : "ledger/") + file.name;
}

std::vector<BookFile> bookFiles(const BookFolders& folders) {
    std::vector<BookFile> files;
    for (const std::string& dir : {folders.dataDir, folders.ledgerDir, folders.diaryDir}) {
        std::error_code ec;
        fs::directory_iterator it(dir, ec), end;
        if (ec) throw fileError(ec.value(), dir);
        for (; it != end; it.increment(ec)) {
            BookFile file;
            if (!it->is_regular_file(ec) || !classifyBookFile(folders, it->path().string(), file) ||
                std::find(files.begin(), files.end(), file) != files.end())
                continue;
            files.push_back(file);
        }
    }
    std::sort(files.begin(), files.end(), [](const BookFile& a, const BookFile& b) {
        return archiveEntryName(a) < archiveEntryName(b);
    });
    return files;
}

void writeBookArchive(FileStore& files, const ZipCodec& zip, const BookFolders& folders,
                      const std::string& zipPath) {
    std::vector<ZipMember> members;
    for (const BookFile& file : bookFiles(folders)) {
        const std::string path = bookFilePath(folders, file);
        ZipMember m{archiveEntryName(file), files.read(path)};
        // The archive holds the book, not the folders it was in.
        if (file.kind == 'C') m.bytes = portableConfig(m.bytes, folders.dataDir);
        m.mtime = files.modifiedTime(path);
        members.push_back(std::move(m));
    }
    std::string bytes;
    if (const std::string why = zip.pack(members, bytes); !why.empty())
        throw AppError(zipPath + ": " + why);
    files.writeSafely(zipPath, bytes);
}

std::vector<ArchiveEntry> readBookArchive(FileStore& files, const ZipCodec& zip,
                                          const std::string& zipPath) {
    const std::string bytes = files.read(zipPath);
    std::vector<ArchiveEntry> entries;
    uint64_t total = 0;
    bool tooLarge = false;
    // Each name is checked before its bytes are read; so is the total.
    const ZipMemberCheck check = [&](const std::string& name, uint64_t size) {
        ArchiveEntry entry;
        if (!entryFile(name, entry.file) || size > MaxEntrySize) return name;
        total += size;
        if (total > MaxArchiveTotal) {
            tooLarge = true;
            return name;
        }
        for (const ArchiveEntry& e : entries)
            if (e.file == entry.file) return name;
        entries.push_back(std::move(entry));
        return std::string();
    };
    std::vector<ZipMember> members;
    if (const std::string why = zip.unpack(bytes, check, members); !why.empty()) {
        if (tooLarge)
            throw notAnArchive(zipPath, "中身の合計が " + std::to_string(MaxArchiveTotal >> 20) +
                                            " MB を超えています");
        throw notAnArchive(zipPath, why);
    }
    for (std::size_t i = 0; i < members.size(); ++i)
        entries[i].bytes = std::move(members[i].bytes);
    if (entries.empty()) throw notAnArchive(zipPath, "空");
    return entries;
}

std::vector<RestoreStep> restorePlan(FileStore& files, const BookFolders& folders,
                                     const std::vector<ArchiveEntry>& entries) {
    std::vector<RestoreStep> plan;
    for (const ArchiveEntry& e : entries) {
        RestoreStep step{archiveEntryName(e.file), bookFilePath(folders, e.file),
                         RestoreAction::Create};
        std::string now;
        const int err = files.tryRead(step.path, now);
        if (err == 0)
            step.action = now == e.bytes ? RestoreAction::Same : RestoreAction::Replace;
        else if (err != ENOENT)
            throw fileError(err, step.path);
        plan.push_back(step);
    }
    return plan;
}

void restoreBookArchive(FileStore& files, const BookFolders& folders,
                        const std::vector<ArchiveEntry>& entries, const RestoreLimits& limits) {
    const std::vector<RestoreStep> plan = restorePlan(files, folders, entries);
    uint64_t total = 0;
    std::map<std::string, uint64_t> perFolder;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        if (plan[i].action == RestoreAction::Same) continue;
        total += entries[i].bytes.size();
        perFolder[fs::path(plan[i].path).parent_path().string()] += entries[i].bytes.size();
    }
    if (total > limits.total)
        throw AppError("復元するﾌｧｲﾙの合計 (" + std::to_string(total) + " バイト) が上限 (" +
                       std::to_string(limits.total) + " バイト) を超えるため、復元しませんでした");
    for (const auto& [dir, bytes] : perFolder) {
        const uint64_t free = limits.freeSpace ? limits.freeSpace(dir) : files.freeSpace(dir);
        // Room for the files and for the temporary copy of the largest one.
        if (bytes + (1u << 20) > free)
            throw AppError(dir + " の空き容量が足りないため、復元しませんでした (" +
                           std::to_string(bytes) + " バイト必要)");
    }
    std::vector<std::pair<std::size_t, std::string>> done; // step, bytes before ("" none)
    try {
        for (std::size_t i = 0; i < plan.size(); ++i) {
            if (plan[i].action == RestoreAction::Same) continue;
            std::string before;
            if (plan[i].action == RestoreAction::Replace) before = files.read(plan[i].path);
            files.writeSafely(plan[i].path, entries[i].bytes);
            done.emplace_back(i, std::move(before));
        }
    } catch (...) {
        // All or nothing: what was written goes back as it was.
        for (auto d = done.rbegin(); d != done.rend(); ++d) {
            try {
                if (plan[d->first].action == RestoreAction::Replace)
                    files.writeSafely(plan[d->first].path, d->second);
                else
                    files.remove(plan[d->first].path);
            } catch (const std::exception&) {
            }
        }
        throw;
    }
}
