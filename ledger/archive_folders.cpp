#include "ledger/archive_folders.h"

#include "ledger/config_file.h"
#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/text_file.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr const char* LedgerKey = "ZADUD=";
constexpr const char* DiaryKey = "MEMO=";

// Calls `fn(key, value)` for each location line and puts back what it
// returns; lines keep their ends.
template <class Fn> std::string mapLocations(const std::string& bytes, Fn fn) {
    std::string out;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = bytes.size();
        std::string line = bytes.substr(pos, end - pos);
        for (const char* key : {LedgerKey, DiaryKey}) {
            const std::string k = key;
            if (line.compare(0, k.size(), k) == 0) line = k + fn(k, line.substr(k.size()));
        }
        out += line;
        std::size_t next = end;
        while (next < bytes.size() && (bytes[next] == '\r' || bytes[next] == '\n') &&
               next - end < 2)
            ++next;
        out.append(bytes, end, next - end);
        pos = next;
    }
    return out;
}

std::string normal(const std::string& path) {
    std::string p = fs::path(path).lexically_normal().string();
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}

// `path` relative to `base` when inside it ("." for base itself), else empty.
std::string inside(const std::string& path, const std::string& base) {
    const std::string p = normal(path), b = normal(base);
    if (p == b) return ".";
    if (p.compare(0, b.size() + 1, b + "/") == 0) return "./" + p.substr(b.size() + 1);
    return {};
}

bool isRelative(const std::string& path) {
    return path == "." || path.compare(0, 2, "./") == 0;
}

const ArchiveEntry* configEntry(const std::vector<ArchiveEntry>& entries) {
    for (const ArchiveEntry& e : entries)
        if (e.file.kind == 'C') return &e;
    return nullptr;
}

} // namespace

std::string portableConfig(const std::string& cfgBytes, const std::string& dataDir) {
    return mapLocations(cfgBytes, [&](const std::string&, const std::string& value) {
        std::string path;
        try {
            path = cp932ToUtf8(value);
        } catch (const std::exception&) {
            return value;
        }
        const std::string rel = inside(path, dataDir);
        return rel.empty() ? value : utf8ToCp932(rel);
    });
}

ArchiveTarget archiveTarget(const std::vector<ArchiveEntry>& entries, const std::string& dataDir,
                            const BookFolders& current, const OutsideFolderQuestion& keepOutside) {
    ArchiveTarget t;
    const ArchiveEntry* cfg = configEntry(entries);
    if (!cfg) {
        t.folders = current;
        return t;
    }
    // A location the configuration does not name is the data folder.
    t.folders = {dataDir, dataDir, dataDir};
    mapLocations(cfg->bytes, [&](const std::string& key, const std::string& value) {
        const bool ledger = key == LedgerKey;
        std::string& dir = ledger ? t.folders.ledgerDir : t.folders.diaryDir;
        std::string path;
        try {
            path = cp932ToUtf8(value);
        } catch (const std::exception&) {
            return value; // the reader falls back to the data folder too
        }
        if (path.empty()) return value;
        if (isRelative(path)) {
            dir = normal(joinPath(dataDir, path));
            return value;
        }
        const std::string& own = ledger ? current.ledgerDir : current.diaryDir;
        if (normal(path) == normal(own) || normal(path) == normal(dataDir)) {
            dir = normal(path);
            return value;
        }
        const char* what = ledger ? "家計簿" : "日記帳";
        if (keepOutside && keepOutside(what, path)) {
            dir = normal(path);
        } else {
            t.notices.push_back(std::string(what) + "の格納場所 " + path + " ではなく " + dataDir +
                                " に読み込みます");
        }
        return value;
    });
    return t;
}

std::vector<ArchiveEntry> placedEntries(std::vector<ArchiveEntry> entries,
                                        const BookFolders& folders) {
    for (ArchiveEntry& e : entries) {
        if (e.file.kind != 'C') continue;
        // A folder the file does not name is the data folder, as placed.
        e.bytes = mapLocations(e.bytes, [&](const std::string& key, const std::string&) {
            const std::string& dir = key == LedgerKey ? folders.ledgerDir : folders.diaryDir;
            return utf8ToCp932Exact(dir);
        });
    }
    return entries;
}

void makeTargetFolders(const BookFolders& folders) {
    for (const std::string& dir : {folders.dataDir, folders.ledgerDir, folders.diaryDir}) {
        std::error_code ec;
        fs::create_directories(dir, ec);
        if (ec) throw fileError(ec.value(), dir);
    }
}
