#include "ledger/change_journal.h"

#include "ledger/errors.h"
#include "ledger/sync_order.h"
#include "ledger/text_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <set>

namespace {

const char* const SourceCodes[] = {"typed", "scheduled", "imported", "carry", "undo",
                                   "redo",  "restored",  "renamed",  "synced"};

std::string escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || c == '%' || c == ',') {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", b);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool unescape(const std::string& text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return false;
        const int hi = hexDigit(text[i + 1]), lo = hexDigit(text[i + 2]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

bool number(const std::string& text, int64_t lo, int64_t hi, int64_t& value) {
    if (text.empty() || text.size() > 20) return false;
    std::size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) return false;
    uint64_t v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + static_cast<uint64_t>(text[i] - '0');
        if (v > static_cast<uint64_t>(INT64_MAX)) return false;
    }
    value = text[0] == '-' ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
    return value >= lo && value <= hi;
}

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out(1);
    for (const char c : line) {
        if (c == ',')
            out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

} // namespace

const char* sourceName(ChangeSource source) {
    switch (source) {
    case ChangeSource::Typed:
        return "入力";
    case ChangeSource::Scheduled:
        return "定期";
    case ChangeSource::Imported:
        return "取込";
    case ChangeSource::CarryRepair:
        return "繰越再計算";
    case ChangeSource::Undo:
        return "元に戻す";
    case ChangeSource::Redo:
        return "やり直し";
    case ChangeSource::Restored:
        return "復元";
    case ChangeSource::Renamed:
        return "名前変更";
    case ChangeSource::Synced:
        return "同期";
    }
    return "";
}

std::string formatRecord(const JournalRecord& r) {
    const bool diary =
        r.kind == JournalRecord::Kind::Diary || r.kind == JournalRecord::Kind::File ||
        r.kind == JournalRecord::Kind::Line || r.kind == JournalRecord::Kind::Posting ||
        r.kind == JournalRecord::Kind::Settled || r.kind == JournalRecord::Kind::Entry;
    const bool marker = r.kind == JournalRecord::Kind::Undo || r.kind == JournalRecord::Kind::Redo;
    const bool row = r.kind == JournalRecord::Kind::Row;
    std::string line = std::to_string(r.group) + ',' + escape(r.time) + ',' +
                       SourceCodes[static_cast<int>(r.source)] + ',' + static_cast<char>(r.kind) +
                       ',' + std::to_string(r.month.year) + ',' + std::to_string(r.month.month) +
                       ',' + std::to_string(r.day) + ',' + escape(r.item) + ',' +
                       std::to_string(static_cast<int>(r.field)) + ',';
    if (marker)
        line += std::to_string(r.ref) + ",";
    else if (row)
        line += ",";
    else if (diary)
        line += escape(r.oldText) + ',' + escape(r.newText);
    else
        line += std::to_string(r.oldValue) + ',' + std::to_string(r.newValue);
    return line;
}

bool parseRecord(const std::string& line, JournalRecord& r) {
    const std::vector<std::string> f = fields(line);
    if (f.size() != 11) return false;
    int64_t v = 0;
    r = JournalRecord{};
    if (!number(f[0], 1, INT64_MAX, v)) return false;
    r.group = static_cast<uint64_t>(v);
    if (!unescape(f[1], r.time)) return false;
    const auto* source = std::find(std::begin(SourceCodes), std::end(SourceCodes), f[2]);
    if (source == std::end(SourceCodes)) return false;
    r.source = static_cast<ChangeSource>(source - std::begin(SourceCodes));
    if (f[3].size() != 1 || std::string("ADURFWLPSE").find(f[3][0]) == std::string::npos)
        return false;
    r.kind = static_cast<JournalRecord::Kind>(f[3][0]);
    if (!number(f[4], 0, 9999, v)) return false;
    r.month.year = static_cast<int>(v);
    if (!number(f[5], 0, 12, v)) return false;
    r.month.month = static_cast<int>(v);
    if (!number(f[6], 0, 31, v)) return false;
    r.day = static_cast<int>(v);
    if (!unescape(f[7], r.item)) return false;
    if (!number(f[8], 0, 1, v)) return false;
    r.field = static_cast<AmountField>(v);
    switch (r.kind) {
    case JournalRecord::Kind::Undo:
    case JournalRecord::Kind::Redo:
        if (!number(f[9], 1, INT64_MAX, v) || !f[10].empty()) return false;
        r.ref = static_cast<uint64_t>(v);
        return true;
    case JournalRecord::Kind::Row:
        return r.month.month >= 1 && r.day >= 1 && !r.item.empty() && f[9].empty() && f[10].empty();
    case JournalRecord::Kind::Diary:
    case JournalRecord::Kind::Posting:
        return r.month.month >= 1 && r.day >= 1 && unescape(f[9], r.oldText) &&
               unescape(f[10], r.newText);
    case JournalRecord::Kind::Settled:
        return !r.item.empty() && unescape(f[9], r.oldText) && unescape(f[10], r.newText);
    case JournalRecord::Kind::Entry:
        return !r.item.empty() && unescape(f[9], r.oldText) && unescape(f[10], r.newText) &&
               !(r.oldText.empty() && r.newText.empty());
    case JournalRecord::Kind::Line:
        return r.month.month >= 1 && r.day >= 1 && !r.item.empty() && unescape(f[9], r.oldText) &&
               unescape(f[10], r.newText) && !(r.oldText.empty() && r.newText.empty());
    case JournalRecord::Kind::File:
        // A month's file is day 0, its line file day 1.
        return (r.month.year == 0 ? r.month.month == 0 && r.day <= 2
                                  : r.month.month >= 1 && r.day <= 1) &&
               unescape(f[9], r.oldText) && unescape(f[10], r.newText);
    case JournalRecord::Kind::Amount:
        if (r.month.month < 1 || r.item.empty()) return false;
        if (!number(f[9], INT32_MIN, INT32_MAX, v)) return false;
        r.oldValue = static_cast<int32_t>(v);
        if (!number(f[10], INT32_MIN, INT32_MAX, v)) return false;
        r.newValue = static_cast<int32_t>(v);
        return true;
    }
    return false;
}

namespace {

// Steps are numbered in blocks of this many: one write of the step file per
// block, not per step.
constexpr uint64_t StepBlock = 64;

std::string folderOfFile(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool exists(FileStore& files, const std::string& path) {
    std::string bytes;
    const int err = files.tryRead(path, bytes);
    return err != ENOENT && err != ENOTDIR;
}

} // namespace

std::string stepFileFor(const std::string& journalPath) {
    const std::string ext = ".JNL";
    if (journalPath.size() > ext.size() &&
        journalPath.compare(journalPath.size() - ext.size(), ext.size(), ext) == 0)
        return journalPath.substr(0, journalPath.size() - ext.size()) + ".SEQ";
    return joinPath(folderOfFile(journalPath), StepFileName);
}

std::string ChangeJournal::stepsPath() const {
    return stepFileFor(path_);
}

void ChangeJournal::readSteps() {
    floor_ = reserved_ = 0;
    settled_ = lastGroup_;
    std::string bytes;
    try {
        if (files_.tryRead(stepsPath(), bytes) != 0) bytes.clear();
    } catch (const std::exception&) {
        bytes.clear();
    }
    const std::vector<std::string> lines = splitLines(bytes);
    const std::vector<std::string> f =
        lines.empty() ? std::vector<std::string>{} : fields(lines[0]);
    int64_t reserved = 0, settled = 0;
    // Without the file (a journal of an older version, or one deleted) every
    // step in the journal counts as in the files: nothing is replayed.
    if (f.size() == 2 && number(f[0], 0, INT64_MAX, reserved) &&
        number(f[1], 0, INT64_MAX, settled)) {
        reserved_ = static_cast<uint64_t>(reserved);
        settled_ = static_cast<uint64_t>(settled);
    }
    floor_ = std::max(lastGroup_, reserved_);
}

void ChangeJournal::writeSteps(uint64_t reserved, uint64_t settled) {
    files_.writeSafely(stepsPath(),
                       std::to_string(reserved) + "," + std::to_string(settled) + "\r\n");
    reserved_ = reserved;
    settled_ = settled;
}

void ChangeJournal::settle(uint64_t through) {
    if (readOnly_ || through <= settled_) return;
    try {
        writeSteps(reserved_, through);
    } catch (const std::exception&) {
        // The steps are checked again at the next start; checking one that
        // is in the files already changes nothing.
    }
}

std::vector<const ChangeStep*> ChangeJournal::unsettled() const {
    std::vector<const ChangeStep*> out;
    // Other PCs' steps are theirs to finish.
    for (auto at = steps_.upper_bound(settled_); at != steps_.end() && at->first < PeerStepBase;
         ++at)
        out.push_back(&at->second);
    return out;
}

void ChangeJournal::open(const std::string& path, bool readOnly) {
    path_ = path;
    readOnly_ = readOnly;
    broken_ = false;
    aside_.clear();
    warning_.clear();
    lines_ = 0;
    lastGroup_ = 0;
    steps_.clear();
    undo_.clear();
    redo_.clear();
    text_.clear();
    own_.clear();
    order_.clear();
    // Whatever becomes of this journal, the other PCs' steps are known.
    struct Rebuild {
        ChangeJournal& j;
        ~Rebuild() { j.rebuild(); }
    } rebuild{*this};

    std::string bytes;
    const int err = files_.tryRead(path, bytes);
    if (err == ENOENT || err == ENOTDIR) return readSteps();
    if (err) {
        warning_ = "変更履歴 " + path + " を読み込めません (" + fileError(err, path).what() +
                   ")。これまでの変更は元に戻せません";
        // Appending to a file that cannot be read would put steps after
        // ones never seen.
        broken_ = true;
        return readSteps();
    }
    // A record is whole only with its line end; the reader would take a
    // torn last line for one.
    std::size_t whole = bytes.rfind("\r\n");
    whole = whole == std::string::npos ? 0 : whole + 2;
    std::size_t lineNo = 0, kept = 0;
    bool broken = false;
    forEachLine(std::string_view(bytes).substr(0, whole), [&](std::string_view view) {
        ++lineNo;
        if (broken) return;
        JournalRecord r;
        const std::string line(view);
        if (!parseRecord(line, r) || r.group < lastGroup_) {
            broken = true;
            return;
        }
        lastGroup_ = r.group;
        own_.push_back(std::move(r));
        text_.push_back(line);
        kept = lineNo;
    });
    lines_ = text_.size();
    readSteps();
    const bool torn = whole < bytes.size();
    if (!broken && !torn) return;
    const std::size_t lost = broken ? kept + 1 : lineNo + 1;
    warning_ = "変更履歴 " + path + " の " + std::to_string(lost) +
               " 行目から後は読み込めませんでした。それより前の変更は元に戻せます";
    if (readOnly) {
        broken_ = true;
        return;
    }
    // The damaged file is kept whole under another name, never cut: what
    // could not be read may still be read by hand.
    std::string aside;
    for (int n = 1; aside.empty() || exists(files_, aside); ++n)
        aside = path + (n == 1 ? std::string(".bad") : ".bad" + std::to_string(n));
    std::string good;
    for (const std::string& line : text_)
        good += line + "\r\n";
    try {
        files_.writeSafely(aside, bytes);
        aside_ = aside;
        files_.writeSafely(path, good);
        warning_ += "\n(元のファイルは " + aside + " に残しました)";
    } catch (const std::exception& e) {
        // Appending after the torn line would glue the next record to it.
        broken_ = true;
        warning_ += std::string("\n変更履歴を直せないため、変更は保存できません: ") + e.what();
    }
}

void ChangeJournal::apply(const std::vector<JournalRecord>& records) {
    const uint64_t group = records.front().group;
    bool marker = false;
    for (const JournalRecord& r : records) {
        auto take = [&](std::vector<uint64_t>& from, std::vector<uint64_t>& to) {
            auto at = std::find(from.begin(), from.end(), r.ref);
            if (at == from.end()) return;
            from.erase(at);
            to.push_back(r.ref);
        };
        if (r.kind == JournalRecord::Kind::Undo) {
            take(undo_, redo_);
            marker = true;
        } else if (r.kind == JournalRecord::Kind::Redo) {
            take(redo_, undo_);
            marker = true;
        }
    }
    ChangeStep& step = steps_[group];
    step.group = group;
    step.records.insert(step.records.end(), records.begin(), records.end());
    if (!marker) {
        undo_.push_back(group);
        redo_.clear();
    }
}

uint64_t ChangeJournal::nextGroup() {
    return std::max(lastGroup_, floor_) + 1;
}

void ChangeJournal::append(const std::vector<JournalRecord>& records) {
    if (records.empty()) return;
    if (readOnly_ || broken_)
        throw AppError("変更履歴 " + path_ + " に書き込めません" +
                       (broken_ ? "(読めない行があります)" : ""));
    // The number is reserved before it is used, so no later start gives it
    // out again whatever becomes of the journal.
    const uint64_t group = records.back().group;
    if (group > reserved_) writeSteps(group + StepBlock - 1, settled_);
    std::string bytes;
    std::vector<std::string> lines;
    std::vector<JournalRecord> written = records;
    for (JournalRecord& r : written) {
        // A marker of another PC's step names that PC and its number there.
        if ((r.kind == JournalRecord::Kind::Undo || r.kind == JournalRecord::Kind::Redo) &&
            r.ref >= PeerStepBase) {
            r.item = stepPc(r.ref);
            r.ref = stepNumber(r.ref);
        }
        lines.push_back(formatRecord(r));
        bytes += lines.back() + "\r\n";
    }
    files_.appendDurably(path_, bytes);
    lastGroup_ = std::max(lastGroup_, records.back().group);
    own_.insert(own_.end(), written.begin(), written.end());
    apply(records);
    if (order_.empty() || order_.back() != group) order_.push_back(group);
    text_.insert(text_.end(), lines.begin(), lines.end());
    lines_ += lines.size();
    if (lines_ > FoldAt) fold();
}

void ChangeJournal::fold() {
    // Drops whole steps from the front; the rest is read again as if the
    // journal had always begun there.
    std::size_t cut = text_.size() - KeepAfterFold;
    JournalRecord r, next;
    while (cut < text_.size() && cut > 0 && parseRecord(text_[cut - 1], r) &&
           parseRecord(text_[cut], next) && r.group == next.group)
        ++cut;
    std::string bytes;
    for (std::size_t i = cut; i < text_.size(); ++i)
        bytes += text_[i] + "\r\n";
    try {
        files_.writeSafely(path_, bytes);
    } catch (const std::exception&) {
        return; // tried again at the next append
    }
    const std::string path = path_;
    open(path);
}

const ChangeStep* ChangeJournal::step(uint64_t group) const {
    const auto at = steps_.find(group);
    return at == steps_.end() ? nullptr : &at->second;
}

std::vector<const ChangeStep*> ChangeJournal::history() const {
    std::vector<const ChangeStep*> out;
    // In the order of the merged history: every PC's steps by their times.
    for (const uint64_t group : order_) {
        const ChangeStep& step = steps_.at(group);
        const bool marker = std::any_of(step.records.begin(), step.records.end(), [](auto& r) {
            return r.kind == JournalRecord::Kind::Undo || r.kind == JournalRecord::Kind::Redo;
        });
        if (!marker) out.push_back(&step);
    }
    return out;
}

// ---- other PCs' journals ----

void ChangeJournal::setPeers(std::string own, std::vector<Peer> peers) {
    ownPc_ = std::move(own);
    peers_ = std::move(peers);
}

std::string ChangeJournal::stepPc(uint64_t step) const {
    const uint64_t place = step / PeerStepBase;
    if (place == 0 || place > peers_.size()) return ownPc_;
    return peers_[place - 1].pc;
}

uint64_t ChangeJournal::stepOf(const std::string& pc, uint64_t number) const {
    if (number == 0 || number >= PeerStepBase) return 0;
    if (pc.empty() || pc == ownPc_) return number;
    for (std::size_t i = 0; i < peers_.size(); ++i)
        if (peers_[i].pc == pc) return (i + 1) * PeerStepBase + number;
    return 0;
}

void ChangeJournal::readPeer(std::size_t index) {
    std::vector<JournalRecord>& out = peerRecs_[index];
    out.clear();
    std::string bytes;
    try {
        if (files_.tryRead(peers_[index].path, bytes) != 0) return;
    } catch (const std::exception&) {
        return;
    }
    // Up to the first line that is not a whole record: the other PC may be
    // writing it, or its sync may not be complete yet.
    std::size_t whole = bytes.rfind("\r\n");
    whole = whole == std::string::npos ? 0 : whole + 2;
    uint64_t last = 0;
    bool broken = false;
    forEachLine(std::string_view(bytes).substr(0, whole), [&](std::string_view view) {
        JournalRecord r;
        if (broken || !parseRecord(std::string(view), r) || r.group < last ||
            r.group >= PeerStepBase) {
            broken = true;
            return;
        }
        last = r.group;
        out.push_back(std::move(r));
    });
}

namespace {

// The two steps a settled conflict's key names: "unit|pc:step|pc:step".
std::vector<std::pair<std::string, uint64_t>> settledSteps(const std::string& key) {
    std::vector<std::pair<std::string, uint64_t>> out;
    std::size_t end = key.size();
    for (int i = 0; i < 2; ++i) {
        const std::size_t bar = key.rfind('|', end == 0 ? 0 : end - 1);
        if (bar == std::string::npos) break;
        const std::string part = key.substr(bar + 1, end - bar - 1);
        const std::size_t colon = part.rfind(':');
        if (colon == std::string::npos) break;
        try {
            out.emplace_back(part.substr(0, colon), std::stoull(part.substr(colon + 1)));
        } catch (const std::exception&) {
            break;
        }
        end = bar;
    }
    return out;
}

} // namespace

void ChangeJournal::rebuild() {
    peerRecs_.assign(peers_.size(), {});
    for (std::size_t i = 0; i < peers_.size(); ++i)
        readPeer(i);
    steps_.clear();
    undo_.clear();
    redo_.clear();
    order_.clear();
    // Each journal as steps with numbers of this reader: its own as they are,
    // a peer's above PeerStepBase; a marker's step likewise.
    struct Source {
        std::string pc;
        std::vector<std::vector<JournalRecord>> steps;
        std::size_t next = 0;
    };
    std::vector<Source> sources(peers_.size() + 1);
    for (std::size_t s = 0; s < sources.size(); ++s) {
        const std::vector<JournalRecord>& recs = s == 0 ? own_ : peerRecs_[s - 1];
        const std::string& writer = s == 0 ? ownPc_ : peers_[s - 1].pc;
        sources[s].pc = writer;
        for (JournalRecord r : recs) {
            if (r.kind == JournalRecord::Kind::Undo || r.kind == JournalRecord::Kind::Redo)
                r.ref = stepOf(r.item.empty() ? writer : r.item, r.ref);
            if (s > 0) r.group += s * PeerStepBase;
            auto& steps = sources[s].steps;
            if (steps.empty() || steps.back().front().group != r.group) steps.emplace_back();
            steps.back().push_back(std::move(r));
        }
    }
    // Merged by time; each journal keeps its own order, and equal times go
    // by PC name, so that every PC sees the same history.
    // An undo or redo comes after the step it names, whatever the clocks say.
    std::set<uint64_t> emitted, present;
    for (const Source& src : sources)
        for (const auto& step : src.steps)
            present.insert(step.front().group);
    // So does the settling of a conflict after both steps it settles: a PC
    // whose clock is behind must not see the other side as a new conflict.
    auto waits = [&](const std::vector<JournalRecord>& step) {
        return std::any_of(step.begin(), step.end(), [&](const JournalRecord& r) {
            if (r.kind == JournalRecord::Kind::Settled) {
                for (const auto& [pc, number] : settledSteps(r.item)) {
                    const uint64_t id = stepOf(pc, number);
                    if (present.count(id) && !emitted.count(id)) return true;
                }
                return false;
            }
            return (r.kind == JournalRecord::Kind::Undo || r.kind == JournalRecord::Kind::Redo) &&
                   present.count(r.ref) && !emitted.count(r.ref);
        });
    };
    for (;;) {
        Source* pick = nullptr;
        for (Source& src : sources) {
            if (src.next == src.steps.size()) continue;
            if (pick && waits(src.steps[src.next])) continue;
            if (!pick || waits(pick->steps[pick->next])) {
                pick = &src;
                continue;
            }
            const std::string& t = src.steps[src.next].front().time;
            const std::string& best = pick->steps[pick->next].front().time;
            if (t < best || (t == best && src.pc < pick->pc)) pick = &src;
        }
        if (!pick) break;
        // Times have one-second resolution: a step of the same second that
        // starts from the value another PC's step leaves was made after it.
        if (!waits(pick->steps[pick->next])) {
            std::vector<Source*> tied;
            for (Source& src : sources)
                if (src.next < src.steps.size() && !waits(src.steps[src.next]) &&
                    src.steps[src.next].front().time == pick->steps[pick->next].front().time)
                    tied.push_back(&src);
            std::sort(tied.begin(), tied.end(),
                      [](const Source* l, const Source* r) { return l->pc < r->pc; });
            // Each PC's steps of that second: one may start from the value
            // another PC's later step of the same second leaves.
            const std::string& time = pick->steps[pick->next].front().time;
            std::vector<StepRun> runs;
            for (const Source* src : tied) {
                runs.emplace_back();
                for (std::size_t i = src->next;
                     i < src->steps.size() && src->steps[i].front().time == time; ++i)
                    runs.back().push_back(&src->steps[i]);
            }
            pick = tied[firstOfSameSecond(runs)];
        }
        const std::vector<JournalRecord>& step = pick->steps[pick->next++];
        apply(step);
        order_.push_back(step.front().group);
        emitted.insert(step.front().group);
    }
}
