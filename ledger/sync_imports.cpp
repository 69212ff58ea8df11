#include "ledger/sync_imports.h"

#include "ledger/errors.h"
#include "ledger/sync_merge.h"

#include <cerrno>
#include <set>
#include <vector>

namespace {

const std::string Prefix = "ZADUD-", Suffix = ".IMP";

} // namespace

std::string pcImportLogName(const std::string& pc) {
    return Prefix + pc + Suffix;
}

bool pcOfImportLogName(const std::string& name, std::string& pc) {
    if (name.size() <= Prefix.size() + Suffix.size() ||
        name.compare(0, Prefix.size(), Prefix) != 0 ||
        name.compare(name.size() - Suffix.size(), Suffix.size(), Suffix) != 0)
        return false;
    const std::string middle =
        name.substr(Prefix.size(), name.size() - Prefix.size() - Suffix.size());
    if (middle.size() > PcNameMax || safePcName(middle) != middle) return false;
    pc = middle;
    return true;
}

void joinPcImportLogs(FileStore& files, const std::string& dir, const std::string& pc, bool alone,
                      ImportLog& log) {
    std::map<std::string, uint64_t> rows;
    for (const auto& [fingerprint, step] : log.fingerprints)
        rows[fingerprint] = alone ? step : 0;
    std::vector<std::string> names;
    files.list(dir, names);
    std::set<std::string> others; // rows another PC's log names
    for (const std::string& name : names) {
        std::string who;
        if (!pcOfImportLogName(name, who) || who == pc) continue;
        const std::string path = joinPath(dir, name);
        std::string bytes;
        if (const int err = files.tryRead(path, bytes); err != 0 && err != ENOENT)
            throw fileError(err, path);
        for (const auto& [fingerprint, step] : parseImportLog(bytes).fingerprints) {
            rows[fingerprint] = 0;
            others.insert(fingerprint);
        }
    }
    const std::string path = joinPath(dir, pcImportLogName(pc));
    std::string bytes;
    if (const int err = files.tryRead(path, bytes); err != 0 && err != ENOENT)
        throw fileError(err, path);
    ImportLog own = parseImportLog(bytes);
    // This PC's own import of a row tells its step, unless another PC's log
    // names the row too: then it stays imported whatever was undone here.
    for (const auto& [fingerprint, step] : own.fingerprints)
        if (!others.count(fingerprint)) rows[fingerprint] = step;
    log.fingerprints = std::move(rows);
    log.bytes = std::move(own.bytes);
    log.damaged = own.damaged;
}
