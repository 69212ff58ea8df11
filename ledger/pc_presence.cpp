#include "ledger/pc_presence.h"

#include "ledger/errors.h"
#include "ledger/sync_merge.h"
#include "ledger/text_file.h"

#include <algorithm>

std::string presenceFileName(const std::string& pc) {
    return "ZADUD-" + safePcName(pc) + PresenceFileSuffix;
}

bool isPresenceFileName(const std::string& name, std::string* pc) {
    const std::string head = "ZADUD-", tail = PresenceFileSuffix;
    if (name.size() <= head.size() + tail.size()) return false;
    if (name.compare(0, head.size(), head) != 0) return false;
    if (name.compare(name.size() - tail.size(), tail.size(), tail) != 0) return false;
    if (pc) *pc = name.substr(head.size(), name.size() - head.size() - tail.size());
    return true;
}

std::string presenceBytes(const Presence& p) {
    return "PC=" + p.pc + "\r\nSTART=" + std::to_string(p.start) +
           "\r\nBEAT=" + std::to_string(p.beat) + "\r\n";
}

namespace {

bool parseTime(std::string_view text, int64_t& out) {
    if (text.empty() || text.size() > 18) return false;
    int64_t v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

} // namespace

bool parsePresence(const std::string& bytes, Presence& p) {
    Presence read;
    bool pc = false, start = false, beat = false, bad = false;
    forEachLine(bytes, [&](std::string_view line) {
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) {
            bad = bad || !line.empty();
            return;
        }
        const std::string_view key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "PC") {
            read.pc = std::string(value);
            pc = !value.empty();
        } else if (key == "START") {
            start = parseTime(value, read.start);
            bad = bad || !start;
        } else if (key == "BEAT") {
            beat = parseTime(value, read.beat);
            bad = bad || !beat;
        }
    });
    if (bad || !pc || !start || !beat) return false;
    p = read;
    return true;
}

bool beatIsFresh(int64_t beat, int64_t now, int64_t fresh) {
    return beat > now - fresh && beat < now + fresh;
}

std::vector<std::string> otherPcsOpen(FileStore& files, const std::string& ledgerDir,
                                      const std::string& ownPc, int64_t now, int64_t fresh) {
    std::vector<std::string> names, open;
    if (files.list(ledgerDir, names) != 0) return open;
    const std::string own = safePcName(ownPc);
    for (const std::string& name : names) {
        std::string pc;
        if (!isPresenceFileName(name, &pc) || pc == own) continue;
        std::string bytes;
        Presence p;
        try {
            if (files.tryRead(joinPath(ledgerDir, name), bytes) != 0) continue;
        } catch (const AppError&) {
            continue;
        }
        // A file copied under another PC's name still names its writer.
        if (!parsePresence(bytes, p) || safePcName(p.pc) == own) continue;
        if (beatIsFresh(p.beat, now, fresh)) open.push_back(p.pc);
    }
    std::sort(open.begin(), open.end());
    open.erase(std::unique(open.begin(), open.end()), open.end());
    return open;
}

Heartbeat::Heartbeat(FileStore& files, std::string pc, Clock clock)
    : files_(files), pc_(std::move(pc)), clock_(std::move(clock)) {}

Heartbeat::~Heartbeat() {
    stop();
}

std::string Heartbeat::path() const {
    return dir_.empty() ? std::string() : joinPath(dir_, presenceFileName(pc_));
}

void Heartbeat::beat(const std::string& ledgerDir) {
    if (ledgerDir != dir_) stop();
    const int64_t now = clock_();
    if (dir_.empty()) start_ = now;
    dir_ = ledgerDir;
    try {
        files_.writeSafely(path(), presenceBytes({pc_, start_, now}));
    } catch (const AppError&) {
    }
}

void Heartbeat::stop() {
    if (dir_.empty()) return;
    try {
        files_.remove(path());
    } catch (const AppError&) {
    }
    dir_.clear();
}
