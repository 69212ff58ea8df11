#include "ledger/sync_files.h"

#include "ledger/book.h"
#include "ledger/errors.h"

#include <cerrno>
#include <regex>

namespace {

const std::string JournalPrefix = "ZADUD-";

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool isPcName(const std::string& s) {
    if (s.empty() || s.size() > 32) return false;
    for (const char c : s)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '-' || c == '_'))
            return false;
    return true;
}

// The book's own per-PC files: ZADUD-<PC>.JNL, .SEQ and .IMP.
bool ownPerPcFile(const std::string& name) {
    std::string pc;
    if (pcOfJournalName(name, pc)) return true;
    if (endsWith(name, ".SEQ") || endsWith(name, ".IMP"))
        return pcOfJournalName(name.substr(0, name.size() - 4) + ".JNL", pc);
    return false;
}

std::string fileName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string pcJournalName(const std::string& pc) {
    return JournalPrefix + pc + ".JNL";
}

bool pcOfJournalName(const std::string& name, std::string& pc) {
    if (name.compare(0, JournalPrefix.size(), JournalPrefix) != 0 || !endsWith(name, ".JNL"))
        return false;
    const std::string middle =
        name.substr(JournalPrefix.size(), name.size() - JournalPrefix.size() - 4);
    if (!isPcName(middle)) return false;
    pc = middle;
    return true;
}

void takeOverJournal(FileStore& files, const std::string& dir, const std::string& pc) {
    const std::string own = joinPath(dir, pcJournalName(pc));
    std::string bytes;
    // Seen at every open: a journal of its own ends it without reading it.
    if (files.modifiedTime(own) >= 0 || files.tryRead(own, bytes) != ENOENT) return;
    const std::string old = joinPath(dir, JournalFileName);
    if (files.tryRead(old, bytes) != 0) return;
    std::string steps;
    const bool hasSteps = files.tryRead(joinPath(dir, StepFileName), steps) == 0;
    try {
        if (hasSteps) files.writeSafely(stepFileFor(own), steps);
        files.writeSafely(own, bytes);
        files.remove(old);
        files.remove(joinPath(dir, StepFileName));
    } catch (const std::exception&) {
        // The old journal stays, read as another PC's (peerJournals).
    }
}

std::vector<ChangeJournal::Peer> peerJournals(FileStore& files, const std::string& dir,
                                              const std::string& ownPc) {
    std::vector<std::string> names;
    std::vector<ChangeJournal::Peer> peers;
    if (files.list(dir, names) != 0) return peers;
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        std::string pc;
        if (pcOfJournalName(name, pc) && pc != ownPc)
            peers.push_back({pc, joinPath(dir, name)});
        else if (name == JournalFileName)
            peers.push_back({"*", joinPath(dir, name)});
    }
    return peers;
}

bool conflictCopyOf(const std::string& name, const std::set<std::string>& pcs,
                    const std::set<std::string>& present, std::string& original) {
    if (ownPerPcFile(name)) return false;
    static const std::regex syncthing(
        R"((.*)\.sync-conflict-[0-9]{8}-[0-9]{6}-[A-Za-z0-9]{7}(\.[^.]*)?)");
    static const std::regex dropbox(R"((.*) \([^()]*conflicted copy[^()]*\)(\.[^.]*)?)");
    std::smatch m;
    if (std::regex_match(name, m, syncthing) || std::regex_match(name, m, dropbox)) {
        original = m[1].str() + m[2].str();
        return !m[1].str().empty();
    }
    // NAME-<PC>.EXT or NAME.<PC>.EXT, where NAME.EXT is a file of the folder.
    const auto dot = name.rfind('.');
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string ext = dot == std::string::npos ? "" : name.substr(dot);
    for (const std::string& pc : pcs) {
        for (const char sep : {'-', '.'}) {
            const std::string tail = std::string(1, sep) + pc;
            if (stem.size() <= tail.size() || !endsWith(stem, tail)) continue;
            const std::string base = stem.substr(0, stem.size() - tail.size()) + ext;
            if (present.count(base)) {
                original = base;
                return true;
            }
        }
    }
    return false;
}

std::string moveAside(FileStore& files, const std::string& path, const std::string& folder) {
    if (const int err = files.makeFolder(folder)) throw fileError(err, folder);
    const std::string bytes = files.read(path);
    const std::string name = fileName(path);
    std::string target = joinPath(folder, name);
    std::string seen;
    for (int n = 2; files.tryRead(target, seen) != ENOENT; ++n)
        target = joinPath(folder, name + "." + std::to_string(n));
    files.writeSafely(target, bytes);
    files.remove(path);
    return target;
}
