#include "ledger/report_marks.h"

#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/month_table.h"
#include "ledger/text_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace {

constexpr const char* Header = "ZADUD-MARKS,1";
constexpr const char* ExcludedTag = "集計対象外";
constexpr const char* TransferTag = "振替";

bool hasTagMark(const std::string& memo) {
    // "#", or the bytes of "＃"; CP932 trail bytes never are "#".
    return memo.find('#') != std::string::npos || memo.find("\x81\x94") != std::string::npos;
}

// The memo without the tag `word` wherever it stands as a whole tag, with
// the blank before it.
std::string withoutTag(const std::string& utf8, const std::string& word) {
    std::string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::size_t next = i;
        const char32_t c = nextCodePoint(utf8, next);
        const bool mark = c == '#' || c == U'\uFF03';
        if (mark && utf8.compare(next, word.size(), word) == 0) {
            const std::vector<std::string> tags = lineTags(std::string_view(utf8).substr(i));
            if (!tags.empty() && tags.front() == word) {
                if (!out.empty() && out.back() == ' ')
                    out.pop_back();
                else if (out.size() >= 3 && out.compare(out.size() - 3, 3, "\u3000") == 0)
                    out.resize(out.size() - 3);
                i = next + word.size();
                // At the start, the blank after it goes instead.
                if (out.empty() && utf8.compare(i, 1, " ") == 0)
                    i += 1;
                else if (out.empty() && utf8.compare(i, 3, "\u3000") == 0)
                    i += 3;
                continue;
            }
        }
        out.append(utf8, i, next - i);
        i = next;
    }
    return out;
}

const char* markCode(ReportMark mark) {
    return mark == ReportMark::Excluded ? "X" : "T";
}

void checkCell(const MarkedCell& cell) {
    const MonthKey& m = cell.month;
    if (m.year < 1 || m.month < 1 || m.month > 12 || cell.day < 1 ||
        cell.day > daysInMonth(m.year, m.month))
        throw AppError(msg::InvalidDate);
    if (cell.item.empty()) throw AppError("印を付ける項目がありません");
    for (char c : cell.item)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            throw AppError("項目名に制御文字 " + describeChar(static_cast<unsigned char>(c)) +
                           " は使えません");
}

// "2026-12-04,1,"食費",X": false for anything else.
bool parseMarkLine(const std::string& line, MarkedCell& cell, ReportMark& mark) {
    auto digits = [&](std::size_t from, std::size_t count, int& value) {
        value = 0;
        for (std::size_t i = from; i < from + count; ++i) {
            if (line[i] < '0' || line[i] > '9') return false;
            value = value * 10 + (line[i] - '0');
        }
        return true;
    };
    int y = 0, m = 0, d = 0;
    if (line.size() < 15 || line[4] != '-' || line[7] != '-' || line[10] != ',' ||
        line[12] != ',' || !digits(0, 4, y) || !digits(5, 2, m) || !digits(8, 2, d))
        return false;
    const char side = line[11];
    if (side != '0' && side != '1') return false;
    std::size_t p = 13;
    if (line[p] != '"') return false;
    std::string item;
    for (++p;; ++p) {
        if (p >= line.size()) return false;
        if (line[p] == '"') {
            if (p + 1 < line.size() && line[p + 1] == '"') {
                item += '"';
                ++p;
                continue;
            }
            break;
        }
        item += line[p];
    }
    const std::string rest = line.substr(p + 1);
    if (rest == ",X")
        mark = ReportMark::Excluded;
    else if (rest == ",T")
        mark = ReportMark::Transfer;
    else
        return false;
    cell = {{y, m}, d, side == '0' ? LineSide::Income : LineSide::Expense, item};
    try {
        checkCell(cell);
    } catch (const AppError&) {
        return false;
    }
    return true;
}

} // namespace

const char* markName(ReportMark mark) {
    switch (mark) {
    case ReportMark::Excluded:
        return ExcludedTag;
    case ReportMark::Transfer:
        return TransferTag;
    case ReportMark::None:
        break;
    }
    return "";
}

ReportMark lineMark(const EntryLine& line) {
    if (!hasTagMark(line.memo)) return ReportMark::None;
    const std::vector<std::string> tags = lineTags(cp932ToUtf8Lossy(line.memo));
    auto has = [&](const char* word) {
        return std::find(tags.begin(), tags.end(), word) != tags.end();
    };
    if (has(ExcludedTag)) return ReportMark::Excluded;
    if (has(TransferTag)) return ReportMark::Transfer;
    return ReportMark::None;
}

void setLineMark(EntryLine& line, ReportMark mark) {
    if (lineMark(line) == mark) return;
    std::string memo = cp932ToUtf8Preserving(line.memo);
    memo = withoutTag(withoutTag(memo, ExcludedTag), TransferTag);
    if (mark != ReportMark::None) {
        if (!memo.empty()) memo += ' ';
        memo += '#';
        memo += markName(mark);
    }
    line.memo = utf8ToCp932Preserving(memo);
}

ReportMark MarkSet::at(const MarkedCell& cell) const {
    const auto it = cells_.find(cell);
    return it == cells_.end() ? ReportMark::None : it->second;
}

void MarkSet::set(const MarkedCell& cell, ReportMark mark) {
    checkCell(cell);
    if (mark == ReportMark::None)
        cells_.erase(cell);
    else
        cells_[cell] = mark;
}

std::vector<std::pair<MarkedCell, ReportMark>> MarkSet::month(int year, int month) const {
    std::vector<std::pair<MarkedCell, ReportMark>> out;
    for (auto it = cells_.lower_bound(MarkedCell{{year, month}, 0, LineSide::Income, {}});
         it != cells_.end() && it->first.month == MonthKey{year, month}; ++it)
        out.emplace_back(*it);
    return out;
}

std::string formatMarkFile(const MarkSet& marks) {
    std::string out = std::string(Header) + "\r\n";
    char date[32];
    for (const auto& [cell, mark] : marks.all()) {
        std::snprintf(date, sizeof date, "%04d-%02d-%02d,%d,", cell.month.year, cell.month.month,
                      cell.day, cell.side == LineSide::Income ? 0 : 1);
        out += date;
        appendQuoted(out, cell.item);
        out += ',';
        out += markCode(mark);
        out += "\r\n";
    }
    return out;
}

MarkSet parseMarkFile(const std::string& bytes) {
    // Undoing the first mark leaves the file empty: no marks.
    if (bytes.empty()) return {};
    const std::vector<std::string> lines = splitLines(bytes);
    auto bad = [](std::size_t number) {
        return AppError(std::to_string(number) + " 行目が読めません");
    };
    if (lines.empty() || lines[0] != Header) throw bad(1);
    MarkSet marks;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].empty()) continue;
        MarkedCell cell;
        ReportMark mark = ReportMark::None;
        if (!parseMarkLine(lines[i], cell, mark)) throw bad(i + 1);
        marks.set(cell, mark);
    }
    return marks;
}

MarkFile readMarkFile(FileStore& files, const std::string& ledgerDir) {
    MarkFile file;
    file.path = joinPath(ledgerDir, MarkFileName);
    std::string bytes;
    try {
        const int err = files.tryRead(file.path, bytes);
        if (err == ENOENT || err == ENOTDIR) return file;
        if (err) throw fileError(err, file.path);
        file.marks = parseMarkFile(bytes);
    } catch (const AppError& e) {
        file.marks = MarkSet();
        file.damaged = true;
        file.error = "集計対象外・振替の印のﾌｧｲﾙ " + file.path + " を読めません: " + e.what() +
                     " (印なしで集計します)";
    }
    return file;
}

void writeMarkFile(FileStore& files, const std::string& ledgerDir, const MarkSet& marks) {
    files.writeSafely(joinPath(ledgerDir, MarkFileName), formatMarkFile(marks));
}

CountedMonth countMonth(const MonthLedger& month, int year, int mon,
                        const std::vector<EntryLine>& lines, const MarkSet& marks) {
    CountedMonth c;
    c.counted = month;
    const std::vector<std::pair<MarkedCell, ReportMark>> cells = marks.month(year, mon);
    // Most months have no mark at all.
    bool marked = !cells.empty();
    if (!marked)
        for (const EntryLine& l : lines)
            if (lineMark(l) != ReportMark::None) {
                marked = true;
                break;
            }
    if (!marked) return c;

    struct Taken {
        int64_t excluded = 0, transfer = 0;
        ReportMark whole = ReportMark::None;
    };
    std::map<std::tuple<int, int, int>, Taken> taken; // slot, day, side
    for (const auto& [cell, mark] : cells)
        if (const int slot = itemSlot(month, cell.item))
            taken[{slot, cell.day, int(cell.side)}].whole = mark;
    for (const EntryLine& l : lines) {
        const ReportMark mark = lineMark(l);
        if (mark == ReportMark::None) continue;
        const int slot = itemSlot(month, l.item);
        if (slot == 0 || l.day < 1 || l.day > 31) continue;
        Taken& t = taken[{slot, l.day, int(l.side)}];
        (mark == ReportMark::Excluded ? t.excluded : t.transfer) += l.amount;
    }
    for (const auto& [key, t] : taken) {
        const auto [slot, day, side] = key;
        DayCell& cell = c.counted.Items[slot].Days[day];
        int32_t& amount = side == int(LineSide::Income) ? cell.Income : cell.Expense;
        int64_t excluded = 0, transfer = 0;
        if (t.whole == ReportMark::Excluded)
            excluded = amount;
        else if (t.whole == ReportMark::Transfer)
            transfer = amount;
        else if (amount > 0) {
            excluded = std::min<int64_t>(t.excluded, amount);
            transfer = std::min<int64_t>(t.transfer, amount - excluded);
        }
        DayCell& x = c.excluded[slot][day];
        DayCell& tr = c.transfer[slot][day];
        (side == int(LineSide::Income) ? x.Income : x.Expense) = int32_t(excluded);
        (side == int(LineSide::Income) ? tr.Income : tr.Expense) = int32_t(transfer);
        amount = int32_t(amount - excluded - transfer);
    }
    return c;
}

bool lineCounted(const EntryLine& line, int year, int month, const MarkSet& marks) {
    return lineMark(line) == ReportMark::None &&
           marks.at({{year, month}, line.day, line.side, line.item}) == ReportMark::None;
}
