#include "ledger/version_diff.h"

#include "ledger/cp932.h"
#include "ledger/text_file.h"

#include <algorithm>
#include <set>
#include <sstream>

namespace {

std::string grouped(int64_t value) {
    std::string digits = std::to_string(value < 0 ? -value : value), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return (value < 0 ? "-" : "") + out;
}

int64_t total(const MonthLedger& m, bool expense) {
    int64_t sum = 0;
    for (int i = 1; i <= ShownItems; ++i)
        for (const DayCell& c : m.Items[i].Days)
            sum += expense ? c.Expense : c.Income;
    return sum;
}

} // namespace

MonthLedger monthOfBytes(const MonthLedger& names, const std::string& bytes) {
    MonthLedger m;
    for (int i = 1; i <= ItemSlots; ++i)
        m.Items[i].Name = names.Items[i].Name;
    std::istringstream in(bytes);
    loadMonth(m, in, LoadMode::Current);
    return m;
}

std::vector<CellChange> cellChanges(const MonthLedger& now, const MonthLedger& version) {
    std::vector<CellChange> changes;
    for (int i = 1; i <= ShownItems; ++i) {
        if (now.Items[i].Name.empty()) continue;
        for (int d = 1; d <= 31; ++d) {
            const DayCell &a = now.Items[i].Days[d], &b = version.Items[i].Days[d];
            if (a.Income != b.Income) changes.push_back({i, d, false, a.Income, b.Income});
            if (a.Expense != b.Expense) changes.push_back({i, d, true, a.Expense, b.Expense});
        }
    }
    return changes;
}

std::string monthChangeSummary(const MonthLedger& now, const MonthLedger& version) {
    const std::vector<CellChange> changes = cellChanges(now, version);
    if (changes.empty()) return "今日と同じ";
    std::vector<int> items;
    std::set<int> days;
    for (const CellChange& c : changes) {
        if (std::find(items.begin(), items.end(), c.item) == items.end()) items.push_back(c.item);
        days.insert(c.day);
    }
    std::string names;
    for (int i : items)
        names += (names.empty() ? "" : ", ") + cp932ToUtf8Lossy(now.Items[i].Name);
    std::string text = names + " / " + std::to_string(days.size()) + "日";
    for (bool expense : {false, true}) {
        const int64_t a = total(now, expense), b = total(version, expense);
        if (a != b)
            text += std::string(expense ? " / 支出 " : " / 収入 ") + grouped(a) + "→" + grouped(b);
    }
    return text;
}

std::string diaryChangeSummary(const std::string& nowBytes, const std::string& versionBytes) {
    const std::vector<std::string> a = splitLines(nowBytes), b = splitLines(versionBytes);
    if (a == b) return "今日と同じ";
    std::size_t differ = 0;
    for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i)
        differ += i >= a.size() || i >= b.size() || a[i] != b[i];
    return std::to_string(differ) + " 行が異なります (" + std::to_string(a.size()) + "→" +
           std::to_string(b.size()) + " 行)";
}
