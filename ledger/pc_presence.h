#pragma once
// Which other PCs have this account book open. Each running program keeps a
// small file of its own in the ledger folder, "ZADUD-<PC>.RUN" (CR LF:
// "PC=" the name as given, "START=", "BEAT=", seconds since 1970), refreshed
// now and then and removed at a normal close. A sync engine carries it to
// the other PCs, which read it as "that PC is open" while its last beat is
// fresh; a PC that crashed stops beating, so its file goes stale and is
// ignored. The note it leads to is advice only: nothing is ever refused.

#include "ledger/file_store.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

inline constexpr const char* PresenceFileSuffix = ".RUN";
// The PC's name goes in as safePcName makes it.
std::string presenceFileName(const std::string& pc);
// True for a name of that form, with the PC's name part.
bool isPresenceFileName(const std::string& name, std::string* pc = nullptr);

struct Presence {
    std::string pc;
    int64_t start = 0;
    int64_t beat = 0;
    bool operator==(const Presence& o) const {
        return pc == o.pc && start == o.start && beat == o.beat;
    }
};
std::string presenceBytes(const Presence& p);
// False for a file that does not hold all three lines.
bool parsePresence(const std::string& bytes, Presence& p);

// A beat counts for `fresh` seconds; one from the future counts only as far
// as two clocks may differ (the same span), so a wrong clock cannot leave a
// note standing.
bool beatIsFresh(int64_t beat, int64_t now, int64_t fresh);

// The other PCs whose beat in `ledgerDir` is fresh at `now`, by name, sorted.
// Our own file and unreadable ones are left out.
std::vector<std::string> otherPcsOpen(FileStore& files, const std::string& ledgerDir,
                                      const std::string& ownPc, int64_t now, int64_t fresh);

// This PC's own file: written at start and at each beat, removed at close.
// A beat that cannot be written is skipped quietly: the note is advice, and
// the next beat tries again.
class Heartbeat {
public:
    using Clock = std::function<int64_t()>;
    Heartbeat(FileStore& files, std::string pc, Clock clock);
    ~Heartbeat();
    Heartbeat(const Heartbeat&) = delete;
    Heartbeat& operator=(const Heartbeat&) = delete;
    // Beats into `ledgerDir`; another folder than the last one takes the
    // file away from the old folder first.
    void beat(const std::string& ledgerDir);
    // Removes the file (a normal close).
    void stop();
    const std::string& pc() const { return pc_; }
    std::string path() const;

private:
    FileStore& files_;
    std::string pc_;
    Clock clock_;
    std::string dir_;
    int64_t start_ = 0;
};
