#include "ledger/book_archive.h"

#include "ledger/config_file.h"
#include "ledger/errors.h"
#include "ledger/text_file.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <zip.h>

namespace fs = std::filesystem;

namespace {

// No file of the book comes near this; a larger entry is no account book.
constexpr zip_uint64_t MaxEntrySize = 64u << 20;

AppError notAnArchive(const std::string& path, const std::string& why) {
    return AppError(path + ": 家計簿のｱｰｶｲﾌﾞではありません (" + why + ")");
}

std::string zipMessage(zip_error_t* error) {
    return zip_error_strerror(error);
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

void writeBookArchive(const BookFolders& folders, const std::string& zipPath) {
    const std::vector<BookFile> files = bookFiles(folders);
    std::vector<std::string> contents; // alive until the archive is closed
    contents.reserve(files.size());

    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t* za = buffer ? zip_open_from_source(buffer, ZIP_TRUNCATE, &error) : nullptr;
    if (!za) {
        if (buffer) zip_source_free(buffer);
        const AppError e(zipPath + ": " + zipMessage(&error));
        zip_error_fini(&error);
        throw e;
    }
    zip_source_keep(buffer);
    auto fail = [&](const std::string& why) {
        zip_discard(za);
        zip_source_free(buffer);
        throw AppError(zipPath + ": " + why);
    };
    for (const BookFile& file : files) {
        const std::string path = bookFilePath(folders, file);
        try {
            contents.push_back(readFileBytes(path));
        } catch (const AppError&) {
            zip_discard(za);
            zip_source_free(buffer);
            throw;
        }
        zip_source_t* src =
            zip_source_buffer(za, contents.back().data(), contents.back().size(), 0);
        const zip_int64_t index =
            src ? zip_file_add(za, archiveEntryName(file).c_str(), src, ZIP_FL_ENC_GUESS) : -1;
        if (index < 0) {
            if (src) zip_source_free(src);
            fail(zip_strerror(za));
        }
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0)
            zip_file_set_mtime(za, static_cast<zip_uint64_t>(index), st.st_mtime, 0);
    }
    if (zip_close(za) != 0) fail(zip_strerror(za));

    std::string bytes;
    if (zip_source_open(buffer) == 0) {
        char chunk[65536];
        zip_int64_t n;
        while ((n = zip_source_read(buffer, chunk, sizeof chunk)) > 0)
            bytes.append(chunk, static_cast<std::size_t>(n));
        zip_source_close(buffer);
    }
    zip_source_free(buffer);
    if (bytes.empty()) throw fileError(EIO, zipPath);
    writeFileSafely(zipPath, bytes);
}

std::vector<ArchiveEntry> readBookArchive(const std::string& zipPath) {
    std::string bytes = readFileBytes(zipPath);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_t* za = src ? zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &error) : nullptr;
    if (!za) {
        if (src) zip_source_free(src);
        const std::string why = zipMessage(&error);
        zip_error_fini(&error);
        throw notAnArchive(zipPath, why);
    }
    std::unique_ptr<zip_t, void (*)(zip_t*)> archive(za, [](zip_t* z) { zip_discard(z); });

    std::vector<ArchiveEntry> entries;
    const zip_int64_t count = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(za, i, 0, &st) != 0) throw notAnArchive(zipPath, zip_strerror(za));
        const std::string name = st.name;
        if (!name.empty() && name.back() == '/') continue; // a folder entry
        ArchiveEntry entry;
        if (!entryFile(name, entry.file)) throw notAnArchive(zipPath, name);
        for (const ArchiveEntry& e : entries)
            if (e.file == entry.file) throw notAnArchive(zipPath, name);
        if (st.size > MaxEntrySize) throw notAnArchive(zipPath, name);
        zip_file_t* f = zip_fopen_index(za, i, 0);
        if (!f) throw notAnArchive(zipPath, name + ": " + zip_strerror(za));
        entry.bytes.resize(st.size);
        const zip_int64_t n = zip_fread(f, entry.bytes.data(), st.size);
        const bool whole = n == static_cast<zip_int64_t>(st.size);
        zip_fclose(f); // checks the CRC once everything was read
        if (!whole) throw notAnArchive(zipPath, name);
        entries.push_back(std::move(entry));
    }
    if (entries.empty()) throw notAnArchive(zipPath, "空");
    return entries;
}

std::vector<RestoreStep> restorePlan(const BookFolders& folders,
                                     const std::vector<ArchiveEntry>& entries) {
    std::vector<RestoreStep> plan;
    for (const ArchiveEntry& e : entries) {
        RestoreStep step{archiveEntryName(e.file), bookFilePath(folders, e.file),
                         RestoreAction::Create};
        std::string now;
        const int err = tryReadFileBytes(step.path, now);
        if (err == 0)
            step.action = now == e.bytes ? RestoreAction::Same : RestoreAction::Replace;
        else if (err != ENOENT)
            throw fileError(err, step.path);
        plan.push_back(step);
    }
    return plan;
}

void restoreBookArchive(const BookFolders& folders, const std::vector<ArchiveEntry>& entries) {
    const std::vector<RestoreStep> plan = restorePlan(folders, entries);
    for (std::size_t i = 0; i < plan.size(); ++i)
        if (plan[i].action != RestoreAction::Same) writeFileSafely(plan[i].path, entries[i].bytes);
}
