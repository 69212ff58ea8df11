#include "ledger/entry_lines.h"

#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/month_table.h"
#include "ledger/text_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <memory>
#include <tuple>
#include <utility>

namespace {

// The first line of every line file; the number grows with the format, and
// a number the program does not know is never written over.
constexpr std::string_view VersionLine = "ZADUD-LINES,1";
constexpr const char* NoTerms = "検索する語句を指定してください";

std::string format(const char* pattern, const std::string& a, const std::string& b = {}) {
    std::string out;
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            out += a;
            ++p;
        } else if (p[0] == '%' && p[1] == 't') {
            out += b;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

char originCode(LineOrigin o) {
    return o == LineOrigin::Imported ? 'I' : o == LineOrigin::Scheduled ? 'S' : 'T';
}

void refuseControlBytes(const std::string& bytes, const char* where, bool tabs = false) {
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if ((b < 0x20 && !(tabs && b == '\t')) || b == 0x7F)
            throw AppError(std::string("内訳の") + where + "に制御文字 " + describeChar(b) +
                           " は使えません");
    }
}

// One record of the file, field by field; any misstep makes `ok` false.
class Fields {
public:
    explicit Fields(std::string_view line) : s_(line) {}
    bool ok = true;
    bool atEnd() const { return pos_ == s_.size(); }

    int64_t number() {
        const std::size_t start = pos_;
        int64_t v = 0;
        while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9' && pos_ - start < 10)
            v = v * 10 + (s_[pos_++] - '0');
        if (pos_ == start) ok = false;
        return v;
    }
    char code() {
        if (pos_ >= s_.size()) {
            ok = false;
            return 0;
        }
        return s_[pos_++];
    }
    std::string quoted() {
        std::string out;
        if (pos_ >= s_.size() || s_[pos_] != '"') {
            ok = false;
            return out;
        }
        for (++pos_;; ++pos_) {
            if (pos_ >= s_.size()) {
                ok = false;
                return out;
            }
            if (s_[pos_] == '"') {
                if (pos_ + 1 >= s_.size() || s_[pos_ + 1] != '"') break;
                ++pos_;
            }
            out += s_[pos_];
        }
        ++pos_;
        return out;
    }
    void comma() {
        if (pos_ < s_.size() && s_[pos_] == ',')
            ++pos_;
        else
            ok = false;
    }

private:
    std::string_view s_;
    std::size_t pos_ = 0;
};

bool parseRecord(std::string_view text, EntryLine& line) {
    Fields f(text);
    line.day = static_cast<int>(f.number());
    f.comma();
    const char side = f.code();
    f.comma();
    line.item = f.quoted();
    f.comma();
    const int64_t amount = f.number();
    f.comma();
    const char origin = f.code();
    f.comma();
    line.source = f.quoted();
    f.comma();
    line.memo = f.quoted();
    if (!f.ok || !f.atEnd() || (side != '0' && side != '1') || amount > INT32_MAX) return false;
    line.side = side == '0' ? LineSide::Income : LineSide::Expense;
    line.amount = static_cast<int32_t>(amount);
    switch (origin) {
    case 'T':
        line.origin = LineOrigin::Typed;
        break;
    case 'I':
        line.origin = LineOrigin::Imported;
        break;
    case 'S':
        line.origin = LineOrigin::Scheduled;
        break;
    default:
        return false;
    }
    return true;
}

bool isTagEnd(char32_t c) {
    switch (c) {
    case ' ':
    case '\t':
    case '#':
    case ',':
    case '.':
    case U'\u3000':
    case U'\uFF03':
    case U'\u3001':
    case U'\u3002':
    case U'\uFF0C':
    case U'\uFF0E':
        return true;
    default:
        return false;
    }
}

int yyyymmdd(int year, int month, int day) {
    return year * 10000 + month * 100 + day;
}

// ---- query terms ----

bool allDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "1280", "1,280", "1280円": false for anything else or beyond 18 digits.
bool readQueryAmount(std::string_view s, int64_t& value) {
    constexpr std::string_view Yen = "\xE5\x86\x86"; // 円
    if (s.size() > Yen.size() && s.substr(s.size() - Yen.size()) == Yen)
        s.remove_suffix(Yen.size());
    if (s.empty() || s.front() == ',' || s.back() == ',') return false;
    value = 0;
    int digits = 0;
    for (char c : s) {
        if (c == ',') continue;
        if (c < '0' || c > '9' || ++digits > 18) return false;
        value = value * 10 + (c - '0');
    }
    return digits > 0;
}

// A date or its first part: "2026", "2026-12", "2026/12/4". `first` and
// `last` get the first and last day it covers. False when it is not one.
bool readDateEnd(std::string_view s, int& first, int& last, bool& exists) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == '-' || s[i] == '/') {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    if (parts.size() > 3 || parts[0].size() != 4) return false;
    for (std::size_t i = 0; i < parts.size(); ++i)
        if (!allDigits(parts[i]) || (i > 0 && parts[i].size() > 2)) return false;
    const int year = std::stoi(std::string(parts[0]));
    const int month = parts.size() > 1 ? std::stoi(std::string(parts[1])) : 0;
    const int day = parts.size() > 2 ? std::stoi(std::string(parts[2])) : 0;
    exists = year >= 1 && (parts.size() < 2 || (month >= 1 && month <= 12)) &&
             (parts.size() < 3 || (day >= 1 && day <= daysInMonth(year, month)));
    if (!exists) return true;
    if (parts.size() == 1) {
        first = yyyymmdd(year, 1, 1);
        last = yyyymmdd(year, 12, 31);
    } else if (parts.size() == 2) {
        first = yyyymmdd(year, month, 1);
        last = yyyymmdd(year, month, daysInMonth(year, month));
    } else {
        first = last = yyyymmdd(year, month, day);
    }
    return true;
}

AppError badTerm(const std::string& term, const char* why) {
    return AppError("「" + term + "」" + why);
}

void narrowDates(LineQuery& q, int first, int last) {
    q.from = std::max(q.from, first);
    q.to = std::min(q.to, last);
}

void narrowAmounts(LineQuery& q, int64_t low, int64_t high) {
    q.minAmount = std::max(q.minAmount, low);
    q.maxAmount = std::min(q.maxAmount, high);
}

// Reads a date or a date range term; false when the term is neither.
bool readDateTerm(const std::string& t, LineQuery& q) {
    int first = 0, last = 0;
    bool exists = true;
    const std::size_t dots = t.find("..");
    if (dots != std::string::npos) {
        const std::string_view left = std::string_view(t).substr(0, dots);
        const std::string_view right = std::string_view(t).substr(dots + 2);
        if (left.empty() && right.empty()) return false;
        int from = 0, to = 99999999, unused = 0;
        bool rightExists = true;
        if ((!left.empty() && !readDateEnd(left, from, unused, exists)) ||
            (!right.empty() && !readDateEnd(right, unused, to, rightExists)))
            return false; // "...": a word
        if (!exists || !rightExists) throw badTerm(t, " の日付はありません");
        if (from > to) throw badTerm(t, " は始めと終わりが逆です");
        narrowDates(q, from, to);
        return true;
    }
    // "2026-12" reads as a month, not as an amount range: a range's end is
    // never below its start.
    const bool dashed = t.find('-') != std::string::npos;
    const bool slashed = t.find('/') != std::string::npos;
    if (!dashed && !slashed) return false;
    if (!readDateEnd(t, first, last, exists)) return false;
    if (dashed && std::count(t.begin(), t.end(), '-') == 1 && !slashed) {
        const int month = std::stoi(t.substr(t.find('-') + 1));
        if (month > 12) return false; // 1000-2000: amounts
    }
    if (!exists) throw badTerm(t, " の日付はありません");
    narrowDates(q, first, last);
    return true;
}

bool readAmountTerm(const std::string& t, LineQuery& q) {
    int64_t a = 0, b = 0;
    if (readQueryAmount(t, a)) {
        narrowAmounts(q, a, a);
        return true;
    }
    for (const char* op : {">=", "<=", ">", "<"}) {
        const std::string_view o(op);
        if (t.compare(0, o.size(), o) != 0) continue;
        if (!readQueryAmount(std::string_view(t).substr(o.size()), a))
            throw badTerm(t, " の金額が読めません");
        if (o == ">=") narrowAmounts(q, a, INT64_MAX);
        if (o == "<=") narrowAmounts(q, 0, a);
        if (o == ">") narrowAmounts(q, a + 1, INT64_MAX);
        if (o == "<") narrowAmounts(q, 0, a - 1);
        return true;
    }
    const std::size_t dash = t.find('-');
    if (dash == std::string::npos || dash == 0) return false;
    if (!readQueryAmount(std::string_view(t).substr(0, dash), a) ||
        !readQueryAmount(std::string_view(t).substr(dash + 1), b))
        return false;
    if (a > b) throw badTerm(t, " は始めと終わりが逆です");
    narrowAmounts(q, a, b);
    return true;
}

// The checks that need no folding.
bool meetsNumbers(const LineQuery& q, const EntryLine& line, int year, int month) {
    const int date = yyyymmdd(year, month, line.day);
    return line.amount >= q.minAmount && line.amount <= q.maxAmount && date >= q.from &&
           date <= q.to;
}

// The checks on texts, given the line's folded item and memo. Tags are read
// from the folded memo, where "＃" has become "#" and every tag is folded.
bool meetsTexts(const LineQuery& q, std::string_view foldedItem, std::string_view foldedMemo) {
    for (const std::string& item : q.items)
        if (foldedItem != item) return false;
    if (!q.words.empty()) {
        for (const std::string& w : q.words)
            if (foldedItem.find(w) == std::string_view::npos &&
                foldedMemo.find(w) == std::string_view::npos)
                return false;
    }
    if (!q.tags.empty()) {
        const std::vector<std::string> have = lineTags(foldedMemo);
        for (const std::string& tag : q.tags)
            if (std::find(have.begin(), have.end(), tag) == have.end()) return false;
    }
    return true;
}

bool needsTexts(const LineQuery& q) {
    return !q.words.empty() || !q.items.empty() || !q.tags.empty();
}

void addTo(LineTotal& t, const EntryLine& line) {
    (line.side == LineSide::Income ? t.income : t.expense) += line.amount;
    ++t.count;
}

} // namespace

bool EntryLine::operator==(const EntryLine& o) const {
    return std::tie(day, side, item, amount, memo, origin, source) ==
           std::tie(o.day, o.side, o.item, o.amount, o.memo, o.origin, o.source);
}

bool CellKey::operator<(const CellKey& o) const {
    return std::tie(item, day, side) < std::tie(o.item, o.day, o.side);
}

void checkLine(const EntryLine& line, int year, int month) {
    if (month < 1 || month > 12 || line.day < 1 || line.day > daysInMonth(year, month))
        throw AppError(msg::InvalidDate);
    if (line.amount <= 0) throw AppError("内訳の金額は 1 以上の整数です");
    if (line.item.empty()) throw AppError("内訳の項目がありません");
    refuseControlBytes(line.item, "項目");
    refuseControlBytes(line.memo, "ﾒﾓ");
    refuseControlBytes(line.source, "出所", true); // a statement row's key holds tabs
}

std::vector<std::string> lineTags(std::string_view utf8Memo) {
    std::vector<std::string> tags;
    std::size_t i = 0;
    while (i < utf8Memo.size()) {
        const char32_t c = nextCodePoint(utf8Memo, i);
        if (c != '#' && c != U'\uFF03') continue;
        std::string tag;
        std::size_t j = i;
        while (j < utf8Memo.size()) {
            std::size_t k = j;
            if (isTagEnd(nextCodePoint(utf8Memo, k))) break;
            tag.append(utf8Memo.substr(j, k - j));
            j = k;
        }
        i = j;
        if (!tag.empty() && std::find(tags.begin(), tags.end(), tag) == tags.end())
            tags.push_back(std::move(tag));
    }
    return tags;
}

int64_t linedSum(const std::vector<EntryLine>& lines, const std::string& item, int day,
                 LineSide side) {
    int64_t sum = 0;
    for (const EntryLine& l : lines)
        if (l.day == day && l.side == side && l.item == item) sum += l.amount;
    return sum;
}

std::map<CellKey, int64_t> linedCells(const std::vector<EntryLine>& lines) {
    std::map<CellKey, int64_t> cells;
    for (const EntryLine& l : lines)
        cells[CellKey{l.item, l.day, l.side}] += l.amount;
    return cells;
}

namespace {

// The month file's amount of a cell; `found` false when no item has the name.
int32_t cellAmount(const MonthLedger& month, const std::string& item, int day, LineSide side,
                   bool& found) {
    const int slot = itemSlot(month, item);
    found = slot != 0;
    if (!found) return 0;
    const DayCell& cell = month.Items[slot].Days[day];
    return side == LineSide::Income ? cell.Income : cell.Expense;
}

} // namespace

CellParts cellParts(const std::vector<EntryLine>& lines, const MonthLedger& month,
                    const std::string& item, int day, LineSide side) {
    bool found = false;
    CellParts parts;
    parts.lined = linedSum(lines, item, day, side);
    parts.unlined = cellAmount(month, item, day, side, found) - parts.lined;
    return parts;
}

std::vector<LineMismatch> lineMismatches(const std::vector<EntryLine>& lines,
                                         const MonthLedger& month) {
    std::vector<LineMismatch> out;
    for (const auto& [cell, lined] : linedCells(lines)) {
        LineMismatch m;
        m.cell = cell;
        m.lined = lined;
        m.amount = cellAmount(month, cell.item, cell.day, cell.side, m.itemFound);
        if (!m.itemFound || m.amount < lined) out.push_back(m);
    }
    return out;
}

std::string lineFileName(int year, int month) {
    char name[32];
    std::snprintf(name, sizeof name, "%04d%02d.lin", year, month);
    return name;
}

bool parseLineFileName(std::string_view name, int& year, int& month) {
    if (name.size() != 10 || name.substr(6) != ".lin" || !allDigits(name.substr(0, 6)))
        return false;
    year = std::stoi(std::string(name.substr(0, 4)));
    month = std::stoi(std::string(name.substr(4, 2)));
    return year >= 1 && month >= 1 && month <= 12;
}

std::string formatLineRecord(const EntryLine& l) {
    std::string out = std::to_string(l.day);
    out += l.side == LineSide::Income ? ",0," : ",1,";
    appendQuoted(out, l.item);
    out += ',' + std::to_string(l.amount) + ',' + originCode(l.origin) + ',';
    appendQuoted(out, l.source);
    out += ',';
    appendQuoted(out, l.memo);
    return out;
}

bool parseLineRecord(std::string_view text, EntryLine& line) {
    return parseRecord(text, line);
}

std::string formatLineFile(const std::vector<EntryLine>& lines, int year, int month) {
    std::string out(VersionLine);
    out += "\r\n";
    for (const EntryLine& l : lines) {
        checkLine(l, year, month);
        out += formatLineRecord(l);
        out += "\r\n";
    }
    return out;
}

MonthLineFile parseLineFile(const std::string& bytes, const std::string& path, int year,
                            int month) {
    MonthLineFile file;
    file.year = year;
    file.month = month;
    file.path = path;
    file.state = LineFileState::Read;
    file.stamp = stampOf(bytes);
    int number = 0;
    bool known = true;
    forEachLine(bytes, [&](std::string_view text) {
        ++number;
        if (!known) return;
        if (number == 1) {
            if (text != VersionLine) {
                known = false;
                file.state = LineFileState::Damaged;
                file.problem = format("内訳のﾌｧｲﾙ %s はこの版では読めない形式です", path);
            }
            return;
        }
        EntryLine line;
        bool ok = parseRecord(text, line);
        if (ok) {
            try {
                checkLine(line, year, month);
            } catch (const AppError&) {
                ok = false;
            }
        }
        if (ok) {
            file.lines.push_back(std::move(line));
        } else if (file.state != LineFileState::Damaged) {
            file.state = LineFileState::Damaged;
            file.problem =
                format("内訳のﾌｧｲﾙ %s の %t 行目が読めません", path, std::to_string(number));
        }
    });
    return file; // an empty file holds no lines, and nothing to lose
}

MonthLineFile loadLineFile(FileStore& files, const std::string& dir, int year, int month) {
    const std::string path = joinPath(dir, lineFileName(year, month));
    MonthLineFile file;
    file.year = year;
    file.month = month;
    file.path = path;
    std::string bytes;
    int err = 0;
    std::string why;
    try {
        err = files.tryRead(path, bytes);
        if (err == 0) return parseLineFile(bytes, path, year, month);
        if (err == ENOENT || err == ENOTDIR) return file;
        why = fileError(err, path).what();
    } catch (const AppError& e) {
        why = e.what();
    }
    file.state = LineFileState::Unreadable;
    file.problem = format("内訳のﾌｧｲﾙ %s を読み込めません: %t", path, why);
    // Something is there, whatever it holds: a save without the question
    // must not take it for a month without a file.
    file.stamp.exists = true;
    return file;
}

void saveLineFile(FileStore& files, MonthLineFile& file, const std::string& dir,
                  const std::vector<EntryLine>& lines, bool overwrite) {
    const std::string path = joinPath(dir, lineFileName(file.year, file.month));
    if (!overwrite) {
        if (file.state == LineFileState::Damaged || file.state == LineFileState::Unreadable)
            throw AppError(file.problem);
        if (files.stamp(path) != file.stamp)
            throw AppError(
                format("内訳のﾌｧｲﾙ %s は読み込んだ後にほかのﾌﾟﾛｸﾞﾗﾑで変更されています", path));
    }
    const std::string bytes = formatLineFile(lines, file.year, file.month);
    if (lines.empty() && !file.stamp.exists && !files.stamp(path).exists) {
        file.state = LineFileState::Missing;
        file.lines.clear();
        file.problem.clear();
        return; // nothing to keep, and no file to write
    }
    files.writeSafely(path, bytes);
    file.path = path;
    file.state = LineFileState::Read;
    file.lines = lines;
    file.problem.clear();
    file.stamp = stampOf(bytes);
}

std::vector<MonthKey> lineFileMonths(FileStore& files, const std::string& dir) {
    std::vector<std::string> names;
    if (const int err = files.list(dir, names)) throw fileError(err, dir);
    std::vector<MonthKey> months;
    for (const std::string& name : names) {
        MonthKey m;
        if (parseLineFileName(name, m.year, m.month)) months.push_back(m);
    }
    std::sort(months.begin(), months.end());
    return months;
}

// ---- LineStore ----

LineStore::Held& LineStore::held(int year, int month) {
    const MonthKey key{year, month};
    auto it = months_.find(key);
    if (it == months_.end()) {
        Held h;
        h.file = loadLineFile(files_, dir_, year, month);
        h.lines = h.file.lines;
        if (!h.file.problem.empty()) problems_.push_back(h.file.problem);
        it = months_.emplace(key, std::move(h)).first;
    }
    return it->second;
}

const MonthLineFile& LineStore::file(int year, int month) {
    return held(year, month).file;
}

const std::vector<EntryLine>& LineStore::lines(int year, int month) {
    return held(year, month).lines;
}

void LineStore::add(int year, int month, const EntryLine& line) {
    checkLine(line, year, month);
    Held& h = held(year, month);
    h.lines.push_back(line);
    h.changed = true;
}

EntryLine LineStore::remove(int year, int month, std::size_t index) {
    Held& h = held(year, month);
    if (index >= h.lines.size()) throwRangeError();
    EntryLine line = std::move(h.lines[index]);
    h.lines.erase(h.lines.begin() + static_cast<std::ptrdiff_t>(index));
    h.changed = true;
    return line;
}

void LineStore::replace(int year, int month, std::size_t index, const EntryLine& line) {
    checkLine(line, year, month);
    Held& h = held(year, month);
    if (index >= h.lines.size()) throwRangeError();
    h.lines[index] = line;
    h.changed = true;
}

void LineStore::insert(int year, int month, std::size_t index, const EntryLine& line) {
    checkLine(line, year, month);
    Held& h = held(year, month);
    if (index > h.lines.size()) throwRangeError();
    h.lines.insert(h.lines.begin() + static_cast<std::ptrdiff_t>(index), line);
    h.changed = true;
}

void LineStore::refresh(int year, int month) {
    const auto it = months_.find(MonthKey{year, month});
    if (it == months_.end() || it->second.changed) return;
    if (files_.stamp(it->second.file.path) != it->second.file.stamp) months_.erase(it);
}

void LineStore::save(int year, int month, bool overwrite) {
    Held& h = held(year, month);
    saveLineFile(files_, h.file, dir_, h.lines, overwrite);
    h.changed = false;
}

std::vector<MonthKey> LineStore::unsaved() const {
    std::vector<MonthKey> out;
    for (const auto& [key, h] : months_)
        if (h.changed) out.push_back(key);
    return out;
}

std::vector<std::string> LineStore::takeProblems() {
    return std::exchange(problems_, {});
}

// ---- search ----

LineQuery parseLineQuery(std::string_view utf8, const TextFold& fold) {
    LineQuery q;
    q.maxAmount = std::numeric_limits<int32_t>::max();
    for (const std::string& t : diaryQueryWords(utf8, fold)) {
        q.hasTerms = true;
        if (t[0] == '#') {
            const std::vector<std::string> tags = lineTags(t);
            if (tags.empty()) throw badTerm(t, " のタグ名がありません");
            q.tags.insert(q.tags.end(), tags.begin(), tags.end());
            continue;
        }
        bool itemTerm = false;
        for (std::string_view key : {std::string_view("\xE9\xA0\x85\xE7\x9B\xAE:"), // 項目:
                                     std::string_view("item:")}) {
            if (t.compare(0, key.size(), key) != 0) continue;
            if (t.size() == key.size()) throw badTerm(t, " の項目名がありません");
            q.items.push_back(t.substr(key.size()));
            itemTerm = true;
            break;
        }
        if (itemTerm) continue;
        if (readDateTerm(t, q) || readAmountTerm(t, q)) continue;
        q.words.push_back(t);
    }
    if (!q.hasTerms) throw AppError(NoTerms);
    return q;
}

bool lineMatches(const LineQuery& q, const EntryLine& line, int year, int month,
                 const TextFold& fold) {
    if (!meetsNumbers(q, line, year, month)) return false;
    if (!needsTexts(q)) return true;
    return meetsTexts(q, fold(cp932ToUtf8Lossy(line.item)), fold(cp932ToUtf8Lossy(line.memo)));
}

LineSearchResult searchLines(FileStore& files, const std::string& dir, const LineQuery& q,
                             const TextFold& fold, const std::atomic<bool>* cancel) {
    LineSearchResult result;
    const std::vector<MonthKey> months = lineFileMonths(files, dir);
    const bool texts = needsTexts(q);
    std::vector<std::string> tagKeys;
    for (auto m = months.rbegin(); m != months.rend(); ++m) {
        if (cancel && cancel->load(std::memory_order_relaxed)) break;
        if (yyyymmdd(m->year, m->month, 31) < q.from || yyyymmdd(m->year, m->month, 1) > q.to)
            continue;
        MonthLineFile file = loadLineFile(files, dir, m->year, m->month);
        if (!file.problem.empty()) result.problems.push_back(file.problem);
        std::vector<std::size_t> candidates;
        for (std::size_t i = 0; i < file.lines.size(); ++i)
            if (meetsNumbers(q, file.lines[i], m->year, m->month)) candidates.push_back(i);
        std::vector<std::size_t> found;
        if (texts && !candidates.empty()) {
            // One conversion and one folding call for the month: "\n" is
            // never part of a CP932 character and the fold keeps it, so the
            // folded text parts back into each line's item and memo.
            std::string joined;
            for (std::size_t i : candidates) {
                joined += file.lines[i].item;
                joined += '\n';
                joined += file.lines[i].memo;
                joined += '\n';
            }
            const std::string folded = fold(cp932ToUtf8Lossy(joined));
            std::vector<std::string_view> parts;
            std::size_t start = 0;
            for (std::size_t nl; (nl = folded.find('\n', start)) != std::string::npos;
                 start = nl + 1)
                parts.emplace_back(folded.data() + start, nl - start);
            const bool aligned = parts.size() == 2 * candidates.size();
            for (std::size_t k = 0; k < candidates.size(); ++k) {
                const EntryLine& line = file.lines[candidates[k]];
                const bool hit = aligned ? meetsTexts(q, parts[2 * k], parts[2 * k + 1])
                                         : lineMatches(q, line, m->year, m->month, fold);
                if (hit) found.push_back(candidates[k]);
            }
        } else {
            found = std::move(candidates);
        }
        // Newest first: later days first, and on one day the line added last.
        std::stable_sort(found.begin(), found.end(), [&](std::size_t a, std::size_t b) {
            return file.lines[a].day != file.lines[b].day ? file.lines[a].day > file.lines[b].day
                                                          : a > b;
        });
        for (std::size_t i : found) {
            const EntryLine& line = file.lines[i];
            addTo(result.total, line);
            std::vector<std::size_t> counted; // tags that fold alike count once
            for (const std::string& tag : lineTags(cp932ToUtf8Lossy(line.memo))) {
                const std::string key = fold(tag);
                const auto at = std::find(tagKeys.begin(), tagKeys.end(), key);
                const auto index = static_cast<std::size_t>(at - tagKeys.begin());
                if (at == tagKeys.end()) {
                    tagKeys.push_back(key);
                    result.tags.emplace_back(tag, LineTotal{});
                }
                if (std::find(counted.begin(), counted.end(), index) != counted.end()) continue;
                counted.push_back(index);
                addTo(result.tags[index].second, line);
            }
            result.hits.push_back({m->year, m->month, line});
        }
    }
    return result;
}
