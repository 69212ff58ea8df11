#include "ledger/schedule.h"

#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/month_table.h"
#include "ledger/text_file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <set>
#include <tuple>
#include <utility>

namespace {

const char* const Header = "ZADUD-TEIKI 1";

AppError malformed(const std::string& path, int line) {
    char text[64];
    std::snprintf(text, sizeof text, "%d", line);
    return AppError("定期入力のﾌｧｲﾙ " + path + " の " + text +
                    " 行目が読めません。ﾌｧｲﾙはそのままにしてあります");
}

// The first `n` comma-separated fields and the rest of the line (a name may
// hold commas).
bool splitFields(const std::string& line, std::size_t n, std::vector<std::string>& fields) {
    fields.clear();
    std::size_t start = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t comma = line.find(',', start);
        if (comma == std::string::npos) return false;
        fields.push_back(line.substr(start, comma - start));
        start = comma + 1;
    }
    fields.push_back(line.substr(start));
    return true;
}

bool parseMonth(const std::string& text, int& year, int& month) {
    Date d;
    if (!parseIsoDate(text + "-01", d)) return false;
    year = d.year;
    month = d.month;
    return true;
}

int flagOf(const std::string& text) {
    if (text == "0") return 0;
    if (text == "1") return 1;
    throw notIntegerError(text);
}

std::string ruleText(const ScheduleEntry& e) {
    switch (e.rule) {
    case ScheduleRule::Day:
        return "D" + std::to_string(e.day);
    case ScheduleRule::LastDay:
        return "L";
    case ScheduleRule::Weekday:
        return "W" + std::to_string(e.nth) + ":" + std::to_string(e.wd);
    }
    return {};
}

void parseRule(const std::string& text, ScheduleEntry& e) {
    if (text == "L") {
        e.rule = ScheduleRule::LastDay;
    } else if (text.size() > 1 && text[0] == 'D') {
        e.rule = ScheduleRule::Day;
        e.day = parseInt32(text.substr(1));
    } else if (text.size() > 1 && text[0] == 'W' && text.find(':') != std::string::npos) {
        const std::size_t colon = text.find(':');
        e.rule = ScheduleRule::Weekday;
        e.nth = parseInt32(text.substr(1, colon - 1));
        e.wd = parseInt32(text.substr(colon + 1));
    } else {
        throw AppError("rule");
    }
}

// Letters in the order of the enumerations.
const std::string ShiftLetters = "NBA";
const std::string StateLetters = "WDS";

// The position of a one-letter field in `letters`; throws for anything else.
int letterIndex(const std::string& field, const std::string& letters) {
    const std::size_t at = field.size() == 1 ? letters.find(field[0]) : std::string::npos;
    if (at == std::string::npos) throw AppError("letter");
    return int(at);
}

Date ruleDate(const ScheduleEntry& e, int year, int month) {
    const int last = daysInMonth(year, month);
    switch (e.rule) {
    case ScheduleRule::Day:
        return {year, month, std::min(e.day, last)};
    case ScheduleRule::LastDay:
        return {year, month, last};
    case ScheduleRule::Weekday:
        if (e.nth >= 5) {
            const int lastWd = weekday({year, month, last});
            return {year, month, last - (lastWd - e.wd + 7) % 7};
        }
        const int first = weekday({year, month, 1});
        return {year, month, 1 + (e.wd - first + 7) % 7 + 7 * (e.nth - 1)};
    }
    return {};
}

Date shifted(Date d, ScheduleShift shift) {
    if (shift == ScheduleShift::None) return d;
    const int step = shift == ScheduleShift::Before ? -1 : 1;
    while (isDayOff(d))
        d = addDays(d, step);
    return d;
}

// The k-th occurrence of the entry; false when the entry has ended by then.
bool occurrenceAt(const ScheduleEntry& e, int k, Occurrence& o) {
    if (e.count > 0 && k >= e.count) return false;
    const int months = e.fromYear * 12 + (e.fromMonth - 1) + k * e.every;
    o.entry = e.id;
    o.index = k;
    o.nominal = ruleDate(e, months / 12, months % 12 + 1);
    if (e.until.year != 0 && e.until < o.nominal) return false;
    o.date = shifted(o.nominal, e.shift);
    return true;
}

// The first index whose occurrence may fall on or after `from`: a shift
// moves a date by less than a month.
int firstIndexNear(const ScheduleEntry& e, const Date& from) {
    const int months = (from.year * 12 + from.month - 1) - (e.fromYear * 12 + e.fromMonth - 1) - 1;
    return months <= 0 ? 0 : months / e.every;
}

using RecordKeys = std::set<std::pair<int, int>>;

RecordKeys recordKeys(const Schedule& s) {
    RecordKeys keys;
    for (const PostingRecord& r : s.records)
        keys.insert({r.entry, r.index});
    return keys;
}

const ScheduleEntry* findEntry(const Schedule& s, int id) {
    for (const ScheduleEntry& e : s.entries)
        if (e.id == id) return &e;
    return nullptr;
}

std::string describe(const Date& d, const std::string& item) {
    return isoDate(d) + " " + cp932ToUtf8Lossy(item) + ": ";
}

} // namespace

int Schedule::nextId() const {
    int id = idFloor;
    for (const ScheduleEntry& e : entries)
        id = std::max(id, e.id);
    for (const PostingRecord& r : records)
        id = std::max(id, r.entry);
    if (id > INT_MAX - 2 * IdPartSpan) throw AppError("定期入力の番号が尽きました");
    if (idPart <= 0) return id + 1;
    // The next id above `id` that ends in this PC's part.
    const int step = IdPartSpan;
    return (id / step + 1) * step + idPart;
}

const PostingRecord* Schedule::record(int entry, int index) const {
    for (const PostingRecord& r : records)
        if (r.entry == entry && r.index == index) return &r;
    return nullptr;
}

void Schedule::remove(int id) {
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [id](const ScheduleEntry& e) { return e.id == id; }),
                  entries.end());
    records.erase(std::remove_if(records.begin(), records.end(),
                                 [id](const PostingRecord& r) {
                                     return r.entry == id && r.state != PostingState::Pending;
                                 }),
                  records.end());
}

std::string formatEntryLine(const ScheduleEntry& e) {
    char until[16] = "-";
    if (e.until.year != 0) std::snprintf(until, sizeof until, "%s", isoDate(e.until).c_str());
    char month[16];
    std::snprintf(month, sizeof month, "%04d-%02d", e.fromYear, e.fromMonth);
    return "E," + std::to_string(e.id) + "," + (e.expense ? "1" : "0") + "," +
           (e.ask ? std::string("?") : std::to_string(e.amount)) + "," + month + "," + ruleText(e) +
           "," + std::to_string(e.every) + "," + until + "," + std::to_string(e.count) + "," +
           ShiftLetters[int(e.shift)] + "," + (e.confirm ? "C" : "A") + "," +
           (e.paused ? "1" : "0") + "," + e.item;
}

bool parseEntryLine(const std::string& line, ScheduleEntry& entry) {
    if (line.compare(0, 2, "E,") != 0 || line.find_first_of("\r\n") != std::string::npos)
        return false;
    try {
        const Schedule s = parseSchedule(std::string(Header) + "\r\n" + line, {});
        entry = s.entries.at(0);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::string formatSchedule(const Schedule& s) {
    std::string out = std::string(Header) + "\r\n";
    for (const ScheduleEntry& e : s.entries)
        out += formatEntryLine(e) + "\r\n";
    for (const PostingRecord& r : s.records)
        out += "P," + std::to_string(r.entry) + "," + std::to_string(r.index) + "," +
               StateLetters[int(r.state)] + "," + isoDate(r.date) + "," + (r.expense ? "1" : "0") +
               "," + std::to_string(r.amount) + "," + std::to_string(r.before) + "," +
               std::to_string(r.after) + "," + r.item + "\r\n";
    return out;
}

Schedule parseSchedule(const std::string& bytes, const std::string& path) {
    Schedule s;
    const std::vector<std::string> lines = splitLines(bytes);
    if (lines.empty()) return s;
    if (lines[0] != Header) throw malformed(path, 1);
    std::vector<std::string> f;
    for (std::size_t n = 1; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        if (line.empty()) continue;
        try {
            if (line.compare(0, 2, "E,") == 0) {
                if (!splitFields(line, 12, f)) throw AppError("fields");
                ScheduleEntry e;
                e.id = parseInt32(f[1]);
                e.expense = flagOf(f[2]) == 1;
                e.ask = f[3] == "?";
                if (!e.ask) e.amount = parseInt32(f[3]);
                if (!parseMonth(f[4], e.fromYear, e.fromMonth)) throw AppError("from");
                parseRule(f[5], e);
                e.every = parseInt32(f[6]);
                if (f[7] != "-" && !parseIsoDate(f[7], e.until)) throw AppError("until");
                e.count = parseInt32(f[8]);
                e.shift = ScheduleShift(letterIndex(f[9], ShiftLetters));
                if (f[10] != "A" && f[10] != "C") throw AppError("mode");
                e.confirm = f[10] == "C";
                e.paused = flagOf(f[11]) == 1;
                e.item = f[12];
                checkEntry(e);
                if (findEntry(s, e.id)) throw AppError("id");
                s.entries.push_back(e);
            } else if (line.compare(0, 2, "P,") == 0) {
                if (!splitFields(line, 9, f)) throw AppError("fields");
                PostingRecord r;
                r.entry = parseInt32(f[1]);
                r.index = parseInt32(f[2]);
                if (r.index < 0) throw AppError("index");
                r.state = PostingState(letterIndex(f[3], StateLetters));
                if (!parseIsoDate(f[4], r.date)) throw AppError("date");
                r.expense = flagOf(f[5]) == 1;
                r.amount = parseInt32(f[6]);
                r.before = parseInt32(f[7]);
                r.after = parseInt32(f[8]);
                r.item = f[9];
                s.records.push_back(r);
            } else {
                throw AppError("kind");
            }
        } catch (const AppError&) {
            throw malformed(path, int(n) + 1);
        }
    }
    return s;
}

Schedule readScheduleFile(FileStore& files, const std::string& path) {
    std::string bytes;
    const int err = files.tryRead(path, bytes);
    if (err == ENOENT) return {};
    if (err != 0) throw fileError(err, path);
    return parseSchedule(bytes, path);
}

void writeScheduleFile(FileStore& files, const std::string& path, const Schedule& schedule) {
    files.writeSafely(path, formatSchedule(schedule));
}

void checkEntry(const ScheduleEntry& e) {
    const bool ok = !e.item.empty() && e.fromYear >= 1 && e.fromYear <= 9999 && e.fromMonth >= 1 &&
                    e.fromMonth <= 12 && e.every >= 1 && e.every <= 120 && e.count >= 0 &&
                    e.day >= 1 && e.day <= 31 && e.nth >= 1 && e.nth <= 5 && e.wd >= 0 &&
                    e.wd <= 6 && (e.ask || e.amount >= 0);
    if (!ok) throw AppError("定期入力の指定が正しくありません");
}

std::vector<Occurrence> occurrencesBetween(const ScheduleEntry& e, const Date& from,
                                           const Date& to) {
    std::vector<Occurrence> out;
    Occurrence o;
    for (int k = firstIndexNear(e, from); occurrenceAt(e, k, o); ++k) {
        if (to < o.date) break;
        if (from <= o.date) out.push_back(o);
    }
    return out;
}

bool nextOccurrence(const Schedule& s, const ScheduleEntry& e, const Date& from, Occurrence& next) {
    const RecordKeys keys = recordKeys(s);
    for (int k = firstIndexNear(e, from); occurrenceAt(e, k, next); ++k)
        if (from <= next.date && !keys.count({e.id, k})) return true;
    return false;
}

std::vector<Occurrence> dueOccurrences(const Schedule& s, const Date& through) {
    const RecordKeys keys = recordKeys(s);
    std::vector<Occurrence> due;
    Occurrence o;
    for (const ScheduleEntry& e : s.entries) {
        if (e.paused) continue;
        for (int k = 0; occurrenceAt(e, k, o) && o.date <= through; ++k)
            if (!keys.count({e.id, k})) due.push_back(o);
    }
    std::stable_sort(due.begin(), due.end(),
                     [](const Occurrence& a, const Occurrence& b) { return a.date < b.date; });
    return due;
}

BookDoor::BookDoor(Book& book, const std::string& labelUtf8)
    : book_(book), group_(book, ChangeSource::Scheduled, labelUtf8) {}

const MonthLedger& BookDoor::names() const {
    return book_.ledger();
}

int32_t BookDoor::amount(const Date& d, int item, bool expense) {
    return book_.amount({d.year, d.month}, item, d.day,
                        expense ? AmountField::Expense : AmountField::Income);
}

void BookDoor::add(const Date& d, int item, bool expense, int32_t delta) {
    book_.addAmount({d.year, d.month}, item, d.day,
                    expense ? AmountField::Expense : AmountField::Income, delta,
                    ChangeSource::Scheduled);
}

void BookDoor::posted(const PostingRecord& r) {
    book_.notePosting(r.entry, r.index, {r.date.year, r.date.month}, r.date.day, r.item,
                      r.expense ? AmountField::Expense : AmountField::Income, r.amount);
}

void BookDoor::post(const Date& d, int item, const ScheduleEntry& entry, int32_t amount) {
    EntryLine line;
    line.day = d.day;
    line.side = entry.expense ? LineSide::Expense : LineSide::Income;
    line.item = book_.ledger().Items[item].Name;
    line.amount = amount;
    line.memo = "\x92\xe8\x8a\xfa " + entry.item; // "定期 食費"
    line.origin = LineOrigin::Scheduled;
    line.source = std::to_string(entry.id);
    if (amount > 0)
        book_.addLine({d.year, d.month}, line, ChangeSource::Scheduled);
    else
        add(d, item, entry.expense, amount);
}

void BookDoor::flush() {
    group_.commit();
    if (book_.shown().year != 0) book_.saveMonth();
}

std::vector<std::string> settlePending(FileStore& files, Schedule& s, const std::string& path,
                                       PostingDoor& door) {
    std::vector<std::string> warnings;
    std::vector<std::size_t> drop;
    bool changed = false;
    // Pending records of one day cell form a chain: each one's amount after
    // is the next one's before.
    std::map<std::tuple<int64_t, std::string, bool>, std::vector<std::size_t>> chains;
    for (std::size_t i = 0; i < s.records.size(); ++i)
        if (s.records[i].state == PostingState::Pending)
            chains[{dayNumber(s.records[i].date), s.records[i].item, s.records[i].expense}]
                .push_back(i);
    for (const auto& [key, chain] : chains) {
        const PostingRecord& first = s.records[chain.front()];
        const int slot = itemSlot(door.names(), first.item);
        int32_t now = 0;
        try {
            if (slot == 0) throw AppError("項目がありません");
            now = door.amount(first.date, slot, first.expense);
        } catch (const AppError& e) {
            warnings.push_back(describe(first.date, first.item) + e.what());
            continue;
        }
        // How many of the chain reached the file.
        std::size_t done = chain.size();
        bool known = false;
        for (std::size_t k = chain.size(); k-- > 0 && !known;)
            if (s.records[chain[k]].after == now) done = k + 1, known = true;
        if (!known && first.before == now) done = 0, known = true;
        if (!known)
            warnings.push_back(describe(first.date, first.item) +
                               "入力済みか確かめられないため、入力済みとしました");
        for (std::size_t k = 0; k < chain.size(); ++k) {
            if (k < done)
                s.records[chain[k]].state = PostingState::Done;
            else
                drop.push_back(chain[k]);
        }
        changed = true;
    }
    std::sort(drop.rbegin(), drop.rend());
    for (std::size_t i : drop)
        s.records.erase(s.records.begin() + std::ptrdiff_t(i));
    if (changed) writeScheduleFile(files, path, s);
    return warnings;
}

std::vector<PostingOutcome> postChoices(FileStore& files, Schedule& s, const std::string& path,
                                        const std::vector<PostingChoice>& choices,
                                        PostingDoor& door) {
    std::vector<PostingOutcome> out;
    if (choices.empty()) return out; // no file written, no empty undo step
    const Schedule before = s;
    const RecordKeys keys = recordKeys(s);
    std::map<std::tuple<int64_t, int, bool>, int32_t> projected;
    struct Step {
        std::size_t outcome;
        int slot;
    };
    std::vector<Step> steps;
    for (const PostingChoice& c : choices) {
        PostingOutcome o;
        o.choice = c;
        const ScheduleEntry* e = findEntry(s, c.occurrence.entry);
        if (!e || keys.count({c.occurrence.entry, c.occurrence.index})) {
            o.error = "入力済みです";
            out.push_back(o);
            continue;
        }
        PostingRecord r;
        r.entry = e->id;
        r.index = c.occurrence.index;
        r.date = c.occurrence.date;
        r.expense = e->expense;
        r.amount = c.amount;
        r.item = e->item;
        if (c.skip) {
            r.state = PostingState::Skipped;
            s.records.push_back(r);
            out.push_back(o);
            continue;
        }
        const int slot = itemSlot(door.names(), e->item);
        try {
            if (slot == 0) throw AppError("項目 " + cp932ToUtf8Lossy(e->item) + " がありません");
            const auto key = std::make_tuple(dayNumber(r.date), slot, r.expense);
            auto it = projected.find(key);
            r.before = it != projected.end() ? it->second : door.amount(r.date, slot, r.expense);
            r.after = checkedAdd(r.before, r.amount);
            projected[key] = r.after;
        } catch (const AppError& err) {
            o.error = describe(r.date, r.item) + err.what();
            out.push_back(o);
            continue;
        }
        r.state = PostingState::Pending;
        s.records.push_back(r);
        steps.push_back({out.size(), slot});
        out.push_back(o);
    }
    try {
        writeScheduleFile(files, path, s);
    } catch (...) {
        s = before;
        throw;
    }
    for (const Step& st : steps) {
        PostingOutcome& o = out[st.outcome];
        const Occurrence& occ = o.choice.occurrence;
        auto rec = std::find_if(s.records.begin(), s.records.end(), [&](const PostingRecord& r) {
            return r.entry == occ.entry && r.index == occ.index;
        });
        try {
            const ScheduleEntry* entry = nullptr;
            for (const ScheduleEntry& e : s.entries)
                if (e.id == rec->entry) entry = &e;
            if (entry)
                door.post(rec->date, st.slot, *entry, rec->amount);
            else
                door.add(rec->date, st.slot, rec->expense, rec->amount);
            door.posted(*rec);
            o.posted = true;
        } catch (const AppError& err) {
            o.error = describe(rec->date, rec->item) + err.what();
            s.records.erase(rec);
        }
    }
    // Marked done only once the postings are safe; a failure here leaves
    // them pending in the file, settled at the next run.
    door.flush();
    for (const Step& st : steps) {
        if (!out[st.outcome].posted) continue;
        const Occurrence& occ = out[st.outcome].choice.occurrence;
        for (PostingRecord& r : s.records)
            if (r.entry == occ.entry && r.index == occ.index) r.state = PostingState::Done;
    }
    writeScheduleFile(files, path, s);
    return out;
}
