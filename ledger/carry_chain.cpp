#include "ledger/carry_chain.h"

#include "ledger/errors.h"
#include "ledger/text_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sstream>

namespace {

constexpr char CtrlZ = 26;

// One line of a month file with the place of its total field.
struct StoredLine {
    int item = 0; // first configured slot with the line's name; 0: none
    bool income = false;
    int32_t daySum = 0;
    bool hasTotal = false;
    std::size_t totalBegin = 0, totalEnd = 0; // byte offsets in the file
    int32_t total = 0;
};

// Splits the file by the text-file rules (a line ends at CR, one LF after it
// is skipped, Ctrl-Z ends the file) and each line by the load's field rules.
std::vector<StoredLine> scanLines(const MonthLedger& names, const std::string& bytes,
                                  std::vector<std::string>* otherNames) {
    std::vector<StoredLine> lines;
    std::size_t pos = 0;
    const std::size_t size = bytes.size();
    while (pos < size && bytes[pos] != CtrlZ) {
        std::size_t end = pos;
        while (end < size && bytes[end] != '\r' && bytes[end] != CtrlZ)
            ++end;
        StoredLine line;
        std::size_t start = pos;
        for (int field = 1; field <= 34; ++field) {
            const std::size_t comma = bytes.find(',', start);
            if (comma == std::string::npos || comma >= end) break;
            const std::string text = bytes.substr(start, comma - start);
            if (field == 1) {
                for (int i = 1; i <= ShownItems && !line.item; ++i)
                    if (names.Items[i].Name == text) line.item = i;
                if (!line.item) {
                    if (otherNames && std::find(otherNames->begin(), otherNames->end(), text) ==
                                          otherNames->end())
                        otherNames->push_back(text);
                    break;
                }
            } else if (field == 2) {
                line.income = text == "0";
            } else if (field <= 33) {
                line.daySum = checkedAdd(line.daySum, parseInt32(text));
            } else {
                line.hasTotal = true;
                line.totalBegin = start;
                line.totalEnd = comma;
                line.total = parseInt32(text);
            }
            start = comma + 1;
        }
        if (line.item) lines.push_back(line);
        pos = end;
        if (pos < size && bytes[pos] == '\r') {
            ++pos;
            if (pos < size && bytes[pos] == '\n') ++pos;
        }
    }
    return lines;
}

std::string format8(int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%8.8d", value);
    return text;
}

bool linked(const StoredMonth& m, const CarryLink& link, int i) {
    return link.known && link.has[i] && m.has[i];
}

// The balance item i should bring in: the link's, or what the file stores
// where the link has no say.
int32_t dueBroughtIn(const StoredMonth& m, const CarryLink& link, int i) {
    return linked(m, link, i) ? link.closing[i] : m.broughtIn[i];
}

CarryLink correctedLink(const StoredMonth& m, const CarryLink& in) {
    CarryLink out;
    out.known = true;
    for (int i = 1; i <= ShownItems; ++i) {
        out.has[i] = m.has[i];
        out.closing[i] = checkedAdd(dueBroughtIn(m, in, i), m.net[i]);
    }
    return out;
}

} // namespace

StoredMonth storedMonth(const MonthLedger& names, std::string bytes) {
    StoredMonth m;
    m.bytes = std::move(bytes);
    m.ledger = names;
    try {
        std::istringstream in(m.bytes);
        loadMonth(m.ledger, in, LoadMode::Current);
        RangeArray<int32_t, 1, ShownItems> incomeTotal, expenseTotal;
        for (const StoredLine& line : scanLines(names, m.bytes, &m.otherNames)) {
            if (line.income) m.has[line.item] = true;
            if (!line.hasTotal) continue;
            int32_t& total = line.income ? incomeTotal[line.item] : expenseTotal[line.item];
            total = checkedAdd(total, line.total);
        }
        for (int i = 1; i <= ShownItems; ++i) {
            for (const DayCell& cell : m.ledger.Items[i].Days) {
                m.income[i] = checkedAdd(m.income[i], cell.Income);
                m.expense[i] = checkedAdd(m.expense[i], cell.Expense);
            }
            m.net[i] = checkedSub(m.income[i], m.expense[i]);
            m.closing[i] = checkedSub(incomeTotal[i], expenseTotal[i]);
            m.broughtIn[i] = checkedSub(m.closing[i], m.net[i]);
        }
        m.state = MonthFileState::Read;
    } catch (const AppError& e) {
        m.state = MonthFileState::Unreadable;
        m.error = e.what();
    }
    return m;
}

StoredMonth readStoredMonth(FileStore& files, const MonthLedger& names, const std::string& dir,
                            int year, int month) {
    const std::string path = joinPath(dir, monthFileName(year, month));
    std::string bytes;
    int err = 0;
    try {
        err = files.tryRead(path, bytes);
    } catch (const AppError& e) {
        StoredMonth m;
        m.state = MonthFileState::Unreadable;
        m.error = e.what();
        return m;
    }
    if (err) {
        StoredMonth m;
        if (err == ENOENT || err == ENOTDIR) return m;
        m.state = MonthFileState::Unreadable;
        m.error = fileError(err, path).what();
        return m;
    }
    return storedMonth(names, std::move(bytes));
}

StoredMonth readStoredMonth(FileStore& files, const MonthLedger& names, const std::string& dir,
                            int year, int month, const HeldMonth& held) {
    if (!held.ledger || held.year != year || held.month != month)
        return readStoredMonth(files, names, dir, year, month);
    try {
        return storedMonth(names, formatMonth(*held.ledger));
    } catch (const AppError& e) {
        StoredMonth m;
        m.state = MonthFileState::Unreadable;
        m.error = e.what();
        return m;
    }
}

CarryLink linkBefore(FileStore& files, const MonthLedger& names, const std::string& dir, int year,
                     int month) {
    CarryLink link;
    std::string bytes;
    int err = 0;
    try {
        err = readEarlierMonthFile(files, dir, year, month, bytes);
    } catch (const AppError& e) {
        link.unreadable = {year, month};
        link.error = e.what();
        return link;
    }
    if (err == ENOENT) {
        link.known = true; // no earlier file: the book starts from zero
        return link;
    }
    StoredMonth m;
    if (err) {
        m.state = MonthFileState::Unreadable;
        m.error = fileError(err, joinPath(dir, monthFileName(year, month))).what();
    } else {
        m = storedMonth(names, std::move(bytes));
    }
    if (m.state != MonthFileState::Read) {
        link.unreadable = {year, month};
        link.error = m.error;
        return link;
    }
    return linkAfter(m, link);
}

bool isStale(const StoredMonth& m, const CarryLink& link) {
    if (m.state != MonthFileState::Read) return false;
    for (int i = 1; i <= ShownItems; ++i)
        if (linked(m, link, i) && m.broughtIn[i] != link.closing[i]) return true;
    return false;
}

CarryLink linkAfter(const StoredMonth& m, const CarryLink& in) {
    if (m.state == MonthFileState::Missing) return in;
    CarryLink out;
    if (m.state == MonthFileState::Unreadable) {
        out.error = m.error;
        return out;
    }
    out.known = true;
    out.has = m.has;
    out.closing = m.closing;
    return out;
}

std::string rewriteTotals(const StoredMonth& m, const CarryLink& link) {
    const std::vector<StoredLine> lines = scanLines(m.ledger, m.bytes, nullptr);
    // The previous-month load adds the totals of repeated lines, so no one
    // total could be written for them.
    for (std::size_t a = 0; a < lines.size(); ++a)
        for (std::size_t b = a + 1; b < lines.size(); ++b)
            if (lines[a].item == lines[b].item && lines[a].income == lines[b].income)
                throw AppError("同じ項目の行が2つあるため繰越を書き換えられません");
    std::string out;
    std::size_t copied = 0;
    for (const StoredLine& line : lines) {
        if (!line.hasTotal) continue;
        const int32_t total =
            line.income ? checkedAdd(dueBroughtIn(m, link, line.item), line.daySum) : line.daySum;
        if (total == line.total) continue;
        out.append(m.bytes, copied, line.totalBegin - copied);
        out += format8(total);
        copied = line.totalEnd;
    }
    out.append(m.bytes, copied, std::string::npos);
    // Only totals may change: the days must read back as they were.
    MonthLedger check = m.ledger;
    std::istringstream in(out);
    loadMonth(check, in, LoadMode::Current);
    for (int i = 1; i <= ShownItems; ++i)
        for (int d = 1; d <= 31; ++d)
            if (check.Items[i].Days[d].Income != m.ledger.Items[i].Days[d].Income ||
                check.Items[i].Days[d].Expense != m.ledger.Items[i].Days[d].Expense)
                throw AppError("繰越の書き換えで日の金額が変わるため中止しました");
    return out;
}

namespace {

// Walks the chain from January of `year` while month files follow; `visit`
// gets each month whose file changes, with its new bytes.
template <typename Visit>
void walkChain(FileStore& files, const MonthLedger& names, const std::string& dir, int year,
               Visit visit, CarryRepairPlan* plan, const HeldMonth& held) {
    CarryLink link = linkBefore(files, names, dir, year, 1);
    auto stop = [&](MonthKey at, const std::string& reason) {
        if (plan) {
            plan->stopsAt = at;
            plan->stopReason = reason;
            return;
        }
        throw AppError(monthLabel(at.year, at.month) + ": " + reason);
    };
    if (!link.known) return stop(link.unreadable, link.error);
    int y = year, mo = 1;
    for (int gap = 0; gap < CarryOverLookBack;) {
        StoredMonth m = readStoredMonth(files, names, dir, y, mo, held);
        if (m.state == MonthFileState::Unreadable) return stop({y, mo}, m.error);
        if (m.state == MonthFileState::Missing) {
            ++gap;
        } else {
            gap = 0;
            std::string out;
            try {
                out = rewriteTotals(m, link);
                link = correctedLink(m, link);
                if (out != m.bytes) visit(MonthKey{y, mo}, out);
            } catch (const AppError& e) {
                return stop({y, mo}, e.what());
            }
        }
        if (++mo > 12) {
            mo = 1;
            ++y;
        }
    }
}

} // namespace

CarryRepairPlan planCarryRepair(FileStore& files, const MonthLedger& names, const std::string& dir,
                                int year, const HeldMonth& held) {
    CarryRepairPlan plan;
    walkChain(
        files, names, dir, year, [&](MonthKey k, const std::string&) { plan.months.push_back(k); },
        &plan, held);
    return plan;
}

std::vector<MonthKey> repairCarryChain(FileStore& files, const MonthLedger& names,
                                       const std::string& dir, int year) {
    std::vector<MonthKey> written;
    walkChain(
        files, names, dir, year,
        [&](MonthKey k, const std::string& bytes) {
            files.writeSafely(joinPath(dir, monthFileName(k.year, k.month)), bytes);
            written.push_back(k);
        },
        nullptr, HeldMonth{});
    return written;
}
