#include "ledger/csv_export.h"

#include "ledger/cp932.h"
#include "ledger/month_table.h"

#include <algorithm>
#include <cstdio>

namespace {

const std::string Bom = "\xEF\xBB\xBF";

std::string num(int32_t v) {
    return std::to_string(v);
}

std::string name(const std::string& cp932) {
    return csvText(cp932ToUtf8Lossy(cp932));
}

} // namespace

std::string csvField(const std::string& utf8) {
    if (utf8.find_first_of(",\"\r\n") == std::string::npos) return utf8;
    std::string out = "\"";
    for (char c : utf8) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

std::string csvText(const std::string& utf8) {
    if (utf8.empty() || std::string("=+-@\t\r").find(utf8.front()) == std::string::npos)
        return utf8;
    return "'" + utf8;
}

std::string csvRow(const std::vector<std::string>& utf8Fields) {
    std::string out;
    for (std::size_t i = 0; i < utf8Fields.size(); ++i) {
        if (i) out += ',';
        out += csvField(utf8Fields[i]);
    }
    return out + "\r\n";
}

std::string yearCsv(const YearModel& y) {
    std::string out = Bom;
    std::vector<std::string> row{"項目"};
    for (int m = 1; m <= 12; ++m)
        row.push_back(std::to_string(m) + "月");
    row.push_back("年計");
    out += csvRow(row);
    auto line = [&](const std::string& label, auto monthValue, const std::string& yearValue,
                    bool needsBalance = false) {
        std::vector<std::string> r{label};
        for (int m = 1; m <= 12; ++m) {
            const YearMonth& ym = y.months[m];
            const bool shown =
                needsBalance ? ym.balanceKnown : ym.state != MonthFileState::Unreadable;
            r.push_back(shown ? num(monthValue(ym)) : std::string());
        }
        r.push_back(yearValue);
        out += csvRow(r);
    };
    for (int i = 1; i <= ShownItems; ++i) {
        if (y.names[i].empty()) continue;
        line(
            name(y.names[i]), [i](const YearMonth& ym) { return ym.net[i]; }, num(y.net[i]));
    }
    line(
        "収入", [](const YearMonth& ym) { return ym.totalIncome; }, num(y.totalIncome));
    line(
        "支出", [](const YearMonth& ym) { return ym.totalExpense; }, num(y.totalExpense));
    line(
        "収支", [](const YearMonth& ym) { return ym.totalNet; }, num(y.totalNet));
    line(
        "残高", [](const YearMonth& ym) { return ym.closing; }, std::string(), true);
    return out;
}

std::string monthCsv(const MonthLedger& ledger, int year, int month, const BudgetSummary* budget) {
    const int days = daysInMonth(year, month);
    const MonthTable t = monthTable(ledger, days);
    std::string out = Bom;
    std::vector<std::string> row{"項目", "繰越"};
    for (int d = 1; d <= days; ++d)
        row.push_back(std::to_string(d) + "日");
    out += csvRow(row);
    for (int e = 1; e <= ShownItems; ++e) {
        bool any = !ledger.Items[e].Name.empty() || ledger.CarryOver[e] != 0;
        for (int d = 1; d <= days && !any; ++d)
            any = t.net[e][d] != 0;
        if (!any) continue; // an unnamed slot with nothing in it
        row = {name(ledger.Items[e].Name), num(ledger.CarryOver[e])};
        for (int d = 1; d <= days; ++d)
            row.push_back(num(t.net[e][d]));
        out += csvRow(row);
    }
    row = {"日計", ""};
    for (int d = 1; d <= days; ++d)
        row.push_back(num(t.dayTotal[d]));
    out += csvRow(row);
    row = {"残高", num(t.carried)};
    for (int d = 1; d <= days; ++d)
        row.push_back(num(t.balance[d]));
    out += csvRow(row);
    return out + budgetCsv(budget, [&ledger](int e) { return ledger.Items[e].Name; });
}

std::string budgetCsv(const BudgetSummary* budget,
                      const std::function<std::string(int item)>& itemName) {
    if (!budget || !budget->any) return {};
    std::string out = "\r\n" + csvRow({"項目", "予算", "使った", "残り"});
    for (int e = 1; e <= ShownItems; ++e) {
        const BudgetLine& l = budget->lines[e];
        if (!l.budgeted) continue;
        out += csvRow({name(itemName(e)), std::to_string(l.budget), std::to_string(l.spent),
                       std::to_string(l.remaining)});
    }
    return out;
}

std::string linesCsv(const std::vector<EntryLine>& lines, int year, int month) {
    if (lines.empty()) return {};
    std::vector<const EntryLine*> sorted;
    for (const EntryLine& l : lines)
        sorted.push_back(&l);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const EntryLine* a, const EntryLine* b) { return a->day < b->day; });
    std::string out = "\r\n" + csvRow({"日付", "項目", "収入", "支出", "ﾒﾓ"});
    for (const EntryLine* l : sorted) {
        char date[16];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", year, month, l->day);
        const std::string amount = std::to_string(l->amount);
        const bool income = l->side == LineSide::Income;
        out += csvRow({date, name(l->item), income ? amount : "", income ? "" : amount,
                       csvText(cp932ToUtf8Lossy(l->memo))});
    }
    return out;
}
