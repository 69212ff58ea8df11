#include "ledger/month_ledger.h"

#include "ledger/text_file.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

void MonthLedger::clearItems() {
    for (LedgerItem& item : Items)
        item.Name.clear();
    clearDays();
}

void MonthLedger::clearDays() {
    for (LedgerItem& item : Items)
        for (DayCell& cell : item.Days)
            cell = DayCell{};
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

namespace {

void appendNumber(std::string& out, int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%8.8d", value);
    out += text;
}

void appendLine(std::string& out, const LedgerItem& item, bool income, int32_t carry) {
    out += item.Name;
    out += income ? ",0" : ",1";
    int32_t total = carry;
    for (int day = 1; day <= 31; ++day) {
        const int32_t v = income ? item.Days[day].Income : item.Days[day].Expense;
        out += ',';
        appendNumber(out, v);
        total = checkedAdd(total, v);
    }
    out += ',';
    appendNumber(out, total);
    out += ",\r\n";
}

void applyLine(MonthLedger& ledger, const std::string& line, LoadMode mode) {
    int itemIndex = 0;
    bool income = false;
    std::size_t start = 0;
    for (int field = 1;; ++field) {
        const std::size_t comma = line.find(',', start);
        if (comma == std::string::npos) return;
        const std::string text = line.substr(start, comma - start);
        start = comma + 1;
        if (field == 1) {
            for (int i = 1; i <= ShownItems; ++i) {
                if (ledger.Items[i].Name == text) {
                    itemIndex = i;
                    break;
                }
            }
            if (itemIndex == 0) return;
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
            return;
        }
    }
}

} // namespace

std::string formatMonth(const MonthLedger& ledger) {
    std::string out;
    for (int i = 1; i <= ShownItems; ++i) {
        const LedgerItem& item = ledger.Items[i];
        if (item.Name.empty()) continue;
        appendLine(out, item, true, ledger.CarryOver[i]);
        appendLine(out, item, false, 0);
    }
    return out;
}

void loadMonth(MonthLedger& ledger, std::istream& in, LoadMode mode) {
    if (mode == LoadMode::Previous) {
        for (int32_t& c : ledger.CarryOver)
            c = 0;
    } else {
        ledger.clearDays();
    }
    LineReader reader(in);
    std::string line;
    while (reader.next(line))
        applyLine(ledger, line, mode);
}

void saveMonthFile(const MonthLedger& ledger, const std::string& dir, int year, int month) {
    const std::string bytes = formatMonth(ledger);
    writeFileSafely(joinPath(dir, monthFileName(year, month)), bytes);
}

int readEarlierMonthFile(const std::string& dir, int& year, int& month, std::string& bytes) {
    for (int i = 0; i < CarryOverLookBack; ++i) {
        stepBack(year, month);
        const int err = tryReadFileBytes(joinPath(dir, monthFileName(year, month)), bytes);
        if (err != ENOENT && err != ENOTDIR) return err;
    }
    return ENOENT;
}

MonthFileState loadMonthFile(MonthLedger& ledger, const std::string& dir, int year, int month,
                             LoadMode mode) {
    std::string bytes;
    int err = 0;
    if (mode == LoadMode::Previous) {
        for (int32_t& c : ledger.CarryOver)
            c = 0;
        err = readEarlierMonthFile(dir, year, month, bytes);
    } else {
        err = tryReadFileBytes(joinPath(dir, monthFileName(year, month)), bytes);
    }
    if (err) {
        ledger.clearDays();
        return err == ENOENT || err == ENOTDIR ? MonthFileState::Missing
                                               : MonthFileState::Unreadable;
    }
    std::istringstream in(bytes);
    loadMonth(ledger, in, mode);
    return MonthFileState::Read;
}
