#include "ledger/period_sheet.h"

#include "ledger/cp932.h"
#include "ledger/csv_export.h"
#include "ledger/errors.h"
#include "ledger/period_figures.h"

PeriodSheet periodSheet(const PeriodRange& range, const MonthReader& months) {
    PeriodSheet s;
    s.range = range;
    const PeriodLedger days = readPeriodLedger(range, months);
    s.names = days.names;
    // What the first month brought in, and its days before the period.
    const MonthLedger first = months(range.first.year, range.first.month);
    for (int e = 1; e <= ShownItems; ++e) {
        int32_t carry = first.CarryOver[e];
        for (int d = 1; d < range.first.day; ++d)
            carry = checkedAdd(
                carry, checkedSub(first.Items[e].Days[d].Income, first.Items[e].Days[d].Expense));
        s.carryOver[e] = carry;
        s.carried = checkedAdd(s.carried, carry);
    }
    int32_t balance = s.carried;
    Date day = range.first;
    for (const auto& cells : days.days) {
        RangeArray<int32_t, 1, ShownItems>& net = s.net.emplace_back();
        int32_t total = 0;
        for (int e = 1; e <= ShownItems; ++e) {
            net[e] = checkedSub(cells[e].Income, cells[e].Expense);
            s.income[e] = checkedAdd(s.income[e], cells[e].Income);
            s.expense[e] = checkedAdd(s.expense[e], cells[e].Expense);
            total = checkedAdd(total, net[e]);
        }
        balance = checkedAdd(balance, total);
        s.dates.push_back(day);
        s.dayTotal.push_back(total);
        s.balance.push_back(balance);
        day = addDays(day, 1);
    }
    return s;
}

namespace {

std::string num(int64_t v) {
    return std::to_string(v);
}

std::string name(const std::string& cp932) {
    return csvText(cp932ToUtf8Lossy(cp932));
}

} // namespace

std::string periodCsv(const PeriodSheet& s, const BudgetSummary* budget) {
    std::string out = "\xEF\xBB\xBF";
    std::vector<std::string> row{"項目", "繰越"};
    for (const Date& d : s.dates)
        row.push_back(std::to_string(d.month) + "/" + std::to_string(d.day));
    out += csvRow(row);
    for (int e = 1; e <= ShownItems; ++e) {
        bool any = !s.names[e].empty() || s.carryOver[e] != 0;
        for (std::size_t d = 0; d < s.net.size() && !any; ++d)
            any = s.net[d][e] != 0;
        if (!any) continue; // an unnamed slot with nothing in it
        row = {name(s.names[e]), num(s.carryOver[e])};
        for (const auto& net : s.net)
            row.push_back(num(net[e]));
        out += csvRow(row);
    }
    row = {"日計", ""};
    for (int32_t v : s.dayTotal)
        row.push_back(num(v));
    out += csvRow(row);
    row = {"残高", num(s.carried)};
    for (int32_t v : s.balance)
        row.push_back(num(v));
    out += csvRow(row);
    return out + budgetCsv(budget, [&s](int e) { return s.names[e]; });
}
