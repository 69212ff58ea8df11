#include "ledger/month_ledger.h"

#include "ledger/text_file.h"

#include <cerrno>
#include <cstdio>
#include <fstream>

void MonthLedger::clearItems() {
    for (LedgerItem& item : Items)
        item.Name.clear();
    clearDays();
}

void MonthLedger::clearDays() {
    for (LedgerItem& item : Items)
        for (DayCell& cell : item.Days)
            cell = DayCell{};
    OtherLines.clear();
}

void stepBack(int& year, int& month) {
    if (month == 1) {
        month = 12;
        --year;
    } else {
        --month;
    }
}

std::string monthFileName(int year, int month) {
    return std::to_string(year) + std::to_string(month) + ".txt";
}

std::string monthLabel(int year, int month) {
    return std::to_string(year) + "年" + std::to_string(month) + "月";
}

namespace {

// "%8.8d": at least eight digits, zero-filled, after a "-" when negative.
char* formatNumber(char* out, int32_t value) {
    uint32_t rest = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    if (value < 0) *out++ = '-';
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    for (int i = count; i < 8; ++i)
        *out++ = '0';
    while (count > 0)
        *out++ = digits[--count];
    return out;
}

int32_t lineTotal(const LedgerItem& item, bool income, int32_t carry) {
    int32_t total = carry;
    for (const DayCell& cell : item.Days)
        total = checkedAdd(total, income ? cell.Income : cell.Expense);
    return total;
}

void appendLine(std::string& out, const LedgerItem& item, bool income, int32_t carry) {
    out += item.Name;
    out += income ? ",0" : ",1";
    // 31 days and the total, each "," and at most eleven characters.
    char fields[32 * 12];
    char* end = fields;
    for (const DayCell& cell : item.Days) {
        *end++ = ',';
        end = formatNumber(end, income ? cell.Income : cell.Expense);
    }
    *end++ = ',';
    end = formatNumber(end, lineTotal(item, income, carry));
    out.append(fields, static_cast<std::size_t>(end - fields));
    out += ",\r\n";
}

// The items that get lines: named, and the first of their name.
template <typename Fn> void forEachSavedItem(const MonthLedger& ledger, Fn fn) {
    for (int i = 1; i <= ShownItems; ++i) {
        const std::string& name = ledger.Items[i].Name;
        if (name.empty()) continue;
        bool first = true;
        for (int j = 1; j < i && first; ++j)
            first = ledger.Items[j].Name != name;
        if (first) fn(i, ledger.Items[i]);
    }
}

// Whether the line names an item; lines that do not change nothing.
bool applyLine(MonthLedger& ledger, std::string_view line, LoadMode mode) {
    int itemIndex = 0;
    bool income = false;
    std::size_t start = 0;
    for (int field = 1;; ++field) {
        // Fields are short: a plain scan beats a library search here.
        std::size_t comma = start;
        while (comma < line.size() && line[comma] != ',')
            ++comma;
        if (comma == line.size()) return itemIndex != 0;
        const std::string_view text = line.substr(start, comma - start);
        start = comma + 1;
        if (field == 1) {
            // An empty field would otherwise land in the first unnamed slot,
            // out of sight but in the balance.
            for (int i = 1; i <= ShownItems && !text.empty(); ++i) {
                if (ledger.Items[i].Name == text) {
                    itemIndex = i;
                    break;
                }
            }
            if (itemIndex == 0) return false;
        } else if (field == 2) {
            income = text == "0";
        } else if (field <= 33) {
            const int32_t value = parseInt32(text);
            if (mode == LoadMode::Current) {
                DayCell& cell = ledger.Items[itemIndex].Days[field - 2];
                (income ? cell.Income : cell.Expense) = value;
            }
        } else if (field == 34) {
            if (mode == LoadMode::Previous) {
                const int32_t total = parseInt32(text);
                int32_t& carry = ledger.CarryOver[itemIndex];
                carry = income ? checkedAdd(carry, total) : checkedSub(carry, total);
            }
        } else {
            return true;
        }
    }
}

// Resets what a load of `mode` fills.
void startLoad(MonthLedger& ledger, LoadMode mode) {
    if (mode == LoadMode::Previous) {
        for (int32_t& c : ledger.CarryOver)
            c = 0;
    } else {
        ledger.clearDays();
    }
}

// A line that names no item is kept, in the current month, to be written back.
void loadLine(MonthLedger& ledger, std::string_view line, LoadMode mode) {
    if (!applyLine(ledger, line, mode) && mode == LoadMode::Current && !line.empty())
        ledger.OtherLines.emplace_back(line);
}

} // namespace

std::string formatMonth(const MonthLedger& ledger) {
    checkTotals(ledger);
    std::string out;
    out.reserve(ShownItems * 2 * (32 * 9 + 16));
    forEachSavedItem(ledger, [&](int i, const LedgerItem& item) {
        appendLine(out, item, true, ledger.CarryOver[i]);
        appendLine(out, item, false, 0);
    });
    for (const std::string& line : ledger.OtherLines)
        out += line + "\r\n";
    return out;
}

void checkTotals(const MonthLedger& ledger) {
    forEachSavedItem(ledger, [&](int i, const LedgerItem& item) {
        // The closing balance too: the next month carries it in, and a file
        // it cannot read would hold that month.
        checkedSub(lineTotal(item, true, ledger.CarryOver[i]), lineTotal(item, false, 0));
    });
}

void adoptOtherLines(MonthLedger& ledger) {
    std::vector<std::string> kept;
    for (const std::string& line : ledger.OtherLines) {
        MonthLedger read;
        for (int i = 1; i <= ShownItems; ++i)
            read.Items[i].Name = ledger.Items[i].Name;
        bool named = false;
        try {
            named = applyLine(read, line, LoadMode::Current);
        } catch (const AppError&) {
            named = false; // a malformed line stays as it was read
        }
        if (!named) {
            kept.push_back(line);
            continue;
        }
        // What was typed under the new name wins over the old lines.
        for (int i = 1; i <= ShownItems; ++i)
            for (int d = 1; d <= 31; ++d) {
                DayCell& cell = ledger.Items[i].Days[d];
                const DayCell& old = read.Items[i].Days[d];
                if (cell.Income == 0) cell.Income = old.Income;
                if (cell.Expense == 0) cell.Expense = old.Expense;
            }
    }
    ledger.OtherLines = std::move(kept);
}

void loadMonth(MonthLedger& ledger, std::istream& in, LoadMode mode) {
    startLoad(ledger, mode);
    LineReader reader(in);
    std::string line;
    while (reader.next(line))
        loadLine(ledger, line, mode);
}

FileStamp saveMonthFile(FileStore& files, const MonthLedger& ledger, const std::string& dir,
                        int year, int month) {
    const std::string bytes = formatMonth(ledger);
    files.writeSafely(joinPath(dir, monthFileName(year, month)), bytes);
    return stampOf(bytes);
}

namespace {

bool amountField(std::string_view text) {
    std::size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
    if (i == text.size() || text.size() - i > 10) return false;
    for (; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

bool monthLine(std::string_view line) {
    std::size_t start = 0;
    int field = 0;
    for (;; ++field) {
        const std::size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) return start == line.size() && field == 34;
        const std::string_view text = line.substr(start, comma - start);
        if (field == 0 && text.empty()) return false;
        if (field == 1 && text != "0" && text != "1") return false;
        if (field >= 2 && !amountField(text)) return false;
        start = comma + 1;
    }
}

} // namespace

std::string monthFileProblem(const std::string& bytes) {
    if (bytes.size() > MaxMonthFileSize)
        return std::to_string(bytes.size()) + " バイトは月のファイルの大きさではありません";
    std::string_view text(bytes);
    const std::size_t eof = text.find('\x1a');
    if (eof != std::string_view::npos) {
        if (eof + 1 != text.size()) return "Ctrl-Z の後にもデータがあります";
        text = text.substr(0, eof);
    }
    if (!text.empty() && text.back() != '\n' && text.back() != '\r')
        return "最後の行に行末がありません";
    std::string problem;
    int lineNo = 0;
    forEachLine(text, [&](std::string_view line) {
        ++lineNo;
        if (problem.empty() && !line.empty() && !monthLine(line))
            problem = std::to_string(lineNo) + " 行目が月の行ではありません";
    });
    return problem;
}

int readEarlierMonthFile(FileStore& files, const std::string& dir, int& year, int& month,
                         std::string& bytes) {
    for (int i = 0; i < CarryOverLookBack; ++i) {
        stepBack(year, month);
        const int err = files.tryRead(joinPath(dir, monthFileName(year, month)), bytes);
        if (err != ENOENT && err != ENOTDIR) return err;
    }
    return ENOENT;
}

MonthFileState loadMonthFile(FileStore& files, MonthLedger& ledger, const std::string& dir,
                             int year, int month, LoadMode mode, std::string* file,
                             FileStamp* stamp) {
    std::string bytes;
    int err = 0;
    if (stamp) *stamp = FileStamp{};
    // The file tried last names the month in a message, also when its read throws.
    auto tell = [&] {
        if (file) *file = joinPath(dir, monthFileName(year, month));
    };
    try {
        if (mode == LoadMode::Previous) {
            for (int32_t& c : ledger.CarryOver)
                c = 0;
            err = readEarlierMonthFile(files, dir, year, month, bytes);
        } else {
            ledger.clearDays();
            err = files.tryRead(joinPath(dir, monthFileName(year, month)), bytes);
        }
    } catch (...) {
        tell();
        throw;
    }
    tell();
    if (err) {
        ledger.clearDays();
        return err == ENOENT || err == ENOTDIR ? MonthFileState::Missing
                                               : MonthFileState::Unreadable;
    }
    if (stamp) *stamp = stampOf(bytes);
    startLoad(ledger, mode);
    // A bad amount in an item's line is said by the load itself.
    forEachLine(bytes, [&](std::string_view line) { loadLine(ledger, line, mode); });
    if (const std::string problem = monthFileProblem(bytes); !problem.empty()) {
        startLoad(ledger, mode);
        throw AppError(joinPath(dir, monthFileName(year, month)) +
                       ": 家計簿の月のファイルとして読めません (" + problem + ")");
    }
    return MonthFileState::Read;
}

int itemSlot(const MonthLedger& names, const std::string& name) {
    if (name.empty()) return 0;
    for (int i = 1; i <= ShownItems; ++i)
        if (names.Items[i].Name == name) return i;
    return 0;
}
