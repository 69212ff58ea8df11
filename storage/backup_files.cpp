#include "storage/backup_files.h"

#include "ledger/sync_files.h"

#include "ledger/book.h"
#include "ledger/errors.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* IndexFileName = "BACKUP.IDX";
constexpr std::time_t Day = 24 * 60 * 60;

std::tm localOf(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

int dayKey(std::time_t t) {
    const std::tm tm = localOf(t);
    return (tm.tm_year + 1900) * 10000 + (tm.tm_mon + 1) * 100 + tm.tm_mday;
}

int monthKey(std::time_t t) {
    return dayKey(t) / 100;
}

std::time_t monthsBefore(std::time_t now, int months) {
    std::tm tm = localOf(now);
    tm.tm_mon -= months;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

uint64_t contentHash(const std::string& bytes) {
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

std::string objectName(const std::string& bytes) {
    char name[64];
    std::snprintf(name, sizeof name, "%016llx-%llu.z",
                  static_cast<unsigned long long>(contentHash(bytes)),
                  static_cast<unsigned long long>(bytes.size()));
    return name;
}

std::string compressed(const std::string& bytes) {
    uLongf length = compressBound(bytes.size());
    std::string out(length, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &length,
                  reinterpret_cast<const Bytef*>(bytes.data()), bytes.size(), 9) != Z_OK)
        throw AppError(msg::DiskFull);
    out.resize(length);
    return out;
}

std::string uncompressed(const std::string& packed, uint64_t size, const std::string& path) {
    std::string out(size, '\0');
    uLongf length = size;
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &length,
                   reinterpret_cast<const Bytef*>(packed.data()), packed.size()) != Z_OK ||
        length != size)
        throw fileError(EIO, path);
    return out;
}

std::vector<BackupVersion> readIndex(FileStore& files, const std::string& folder) {
    std::vector<BackupVersion> index;
    std::string bytes;
    const std::string path = joinPath(folder, IndexFileName);
    if (int err = files.tryRead(path, bytes)) {
        if (err == ENOENT || err == ENOTDIR) return index;
        throw fileError(err, path);
    }
    forEachLine(bytes, [&](std::string_view line) {
        const auto a = line.find(','), b = line.find(',', a + 1), c = line.find(',', b + 1);
        if (c == std::string_view::npos || b != a + 2) return;
        BackupVersion v;
        try {
            v.time = std::stoll(std::string(line.substr(0, a)));
        } catch (const std::exception&) {
            return; // a damaged line keeps nothing; the others stay usable
        }
        v.file.kind = line[a + 1];
        v.object = std::string(line.substr(b + 1, c - b - 1));
        v.file.name = std::string(line.substr(c + 1));
        if (v.object.find('/') == std::string::npos && !v.object.empty() && !v.file.name.empty())
            index.push_back(std::move(v));
    });
    return index;
}

void writeIndex(FileStore& files, const std::string& folder,
                const std::vector<BackupVersion>& index) {
    std::string bytes;
    for (const BackupVersion& v : index)
        bytes += std::to_string(static_cast<long long>(v.time)) + "," + v.file.kind + "," +
                 v.object + "," + v.file.name + "\r\n";
    files.writeSafely(joinPath(folder, IndexFileName), bytes);
}

uint64_t sizeOfObject(const std::string& object) {
    const auto dash = object.find('-');
    return dash == std::string::npos ? 0 : std::stoull(object.substr(dash + 1));
}

} // namespace

std::vector<bool> keptVersions(const std::vector<std::time_t>& times, std::time_t now,
                               const KeepRules& rules) {
    std::vector<bool> kept(times.size(), false);
    const std::time_t allSince = now - static_cast<std::time_t>(rules.allDays) * Day;
    const std::time_t dailySince = monthsBefore(allSince, rules.dailyMonths);
    const bool forEver = rules.monthlyMonths <= 0;
    const std::time_t monthlySince = monthsBefore(now, rules.monthlyMonths);
    for (std::size_t i = 0; i < times.size(); ++i) {
        const std::time_t t = times[i];
        const bool last = i + 1 == times.size();
        if (last || t >= allSince)
            kept[i] = true;
        else if (t >= dailySince)
            kept[i] = dayKey(times[i + 1]) != dayKey(t);
        else if (forEver || t >= monthlySince)
            kept[i] = monthKey(times[i + 1]) != monthKey(t);
    }
    return kept;
}

BackupStore::BackupStore(FileStore& inner, std::function<BookFolders()> folders, Clock clock)
    : ForwardingStore(inner), disk_(inner), folders_(std::move(folders)), clock_(std::move(clock)) {
    if (!clock_) clock_ = [] { return std::time(nullptr); };
}

std::string BackupStore::folder() const {
    const BookFolders f = folders_();
    return backupFolderOf(f, readBackupSettings(disk(), f.ledgerDir, nullptr, f.pc));
}

bool BackupStore::watches(const std::string& path) const {
    BookFile file;
    // A backup folder set to one of the data folders must not keep its own
    // files. The change journal is a log that only grows or is trimmed: its
    // old states restore nothing.
    std::string pc;
    return classifyBookFile(folders_(), path, file) && file.name != JournalFileName &&
           !pcOfJournalName(file.name, pc) &&
           sameFolder(fs::path(path).parent_path().string()) != sameFolder(folder());
}

void BackupStore::keep(const std::string& path, const std::string& oldBytes) {
    const BookFolders folders = folders_();
    BookFile file;
    if (!classifyBookFile(folders, path, file)) return;
    const BackupSettings settings =
        readBackupSettings(disk(), folders.ledgerDir, nullptr, folders.pc);
    const std::string dir = backupFolderOf(folders, settings);
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) throw fileError(ec.value(), dir);

    std::vector<BackupVersion> index = readIndex(disk(), dir);
    BackupVersion v{clock_(), file, objectName(oldBytes)};
    const std::string objectPath = joinPath(dir, v.object);
    if (!fs::exists(objectPath, ec)) disk().writeSafely(objectPath, compressed(oldBytes));
    index.push_back(v);

    // Pruning: per file, by time; a version dropped takes its object along
    // once no other version names it.
    std::map<std::pair<char, std::string>, std::vector<std::size_t>> byFile;
    std::stable_sort(
        index.begin(), index.end(),
        [](const BackupVersion& a, const BackupVersion& b) { return a.time < b.time; });
    for (std::size_t i = 0; i < index.size(); ++i)
        byFile[{index[i].file.kind, index[i].file.name}].push_back(i);
    std::vector<bool> keepIt(index.size(), false);
    for (const auto& [key, rows] : byFile) {
        std::vector<std::time_t> times;
        for (std::size_t r : rows)
            times.push_back(index[r].time);
        const std::vector<bool> kept = keptVersions(times, v.time, settings.keep);
        for (std::size_t k = 0; k < rows.size(); ++k)
            keepIt[rows[k]] = kept[k];
    }
    std::vector<BackupVersion> left;
    std::set<std::string> used, dropped;
    for (std::size_t i = 0; i < index.size(); ++i) {
        if (!keepIt[i]) {
            dropped.insert(index[i].object);
            continue;
        }
        left.push_back(index[i]);
        used.insert(index[i].object);
    }
    writeIndex(disk(), dir, left);
    for (const std::string& object : dropped)
        if (!used.count(object)) fs::remove(joinPath(dir, object), ec);
}

bool BackupStore::oldVersion(const std::string& path, std::string& old) {
    // A file that cannot be read has no version to keep; the save itself
    // reports what is wrong with it.
    try {
        return watches(path) && disk().tryRead(path, old) == 0;
    } catch (const std::exception&) {
        return false;
    }
}

void BackupStore::kept(const std::string& path, const std::string& old, const std::string& bytes) {
    if (old == bytes) return;
    try {
        keep(path, old);
        failing_ = told_ = false;
    } catch (const std::exception& e) {
        failing_ = true;
        if (!told_ && onFailure_) onFailure_(backupFailureMessage(e.what()));
        told_ = true;
    }
}

void BackupStore::writeSafely(const std::string& path, const std::string& bytes) {
    std::string old;
    const bool hadOld = oldVersion(path, old);
    disk().writeSafely(path, bytes);
    if (hadOld) kept(path, old, bytes);
}

void BackupStore::writeAllSafely(const std::vector<std::pair<std::string, std::string>>& files) {
    writeAll(files, false);
}

void BackupStore::writeAllDeferred(const std::vector<std::pair<std::string, std::string>>& files) {
    writeAll(files, true);
}

void BackupStore::writeAll(const std::vector<std::pair<std::string, std::string>>& files,
                           bool deferred) {
    std::vector<std::pair<bool, std::string>> olds(files.size());
    for (std::size_t i = 0; i < files.size(); ++i)
        olds[i].first = oldVersion(files[i].first, olds[i].second);
    if (deferred)
        disk().writeAllDeferred(files);
    else
        disk().writeAllSafely(files);
    for (std::size_t i = 0; i < files.size(); ++i)
        if (olds[i].first) kept(files[i].first, olds[i].second, files[i].second);
}

std::vector<BackupVersion> BackupStore::versions(const std::string& path) const {
    BookFile file;
    std::vector<BackupVersion> found;
    const BookFolders folders = folders_();
    if (!classifyBookFile(folders, path, file)) return found;
    for (const BackupVersion& v : readIndex(disk(), folder()))
        if (v.file == file) found.push_back(v);
    // What was kept before each PC had its own folder stays to be restored.
    const std::string shared = sharedBackupFolderOf(
        folders, readBackupSettings(disk(), folders.ledgerDir, nullptr, folders.pc));
    if (!shared.empty())
        for (BackupVersion& v : readIndex(disk(), shared))
            if (v.file == file) {
                v.folder = shared;
                found.push_back(std::move(v));
            }
    std::stable_sort(
        found.begin(), found.end(),
        [](const BackupVersion& a, const BackupVersion& b) { return a.time > b.time; });
    return found;
}

std::string BackupStore::bytesOf(const BackupVersion& version) const {
    const std::string path =
        joinPath(version.folder.empty() ? folder() : version.folder, version.object);
    return uncompressed(disk().read(path), sizeOfObject(version.object), path);
}

void BackupStore::setFailureHandler(std::function<void(const std::string&)> handler) {
    onFailure_ = std::move(handler);
}
