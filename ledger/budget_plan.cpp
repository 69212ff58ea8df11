#include "ledger/budget_plan.h"

#include "ledger/cp932.h"
#include "ledger/month_table.h"
#include "ledger/text_file.h"

#include <cerrno>
#include <cstdio>
#include <vector>

namespace {

constexpr const char* Header = "ZADUD-BUDGET,1";
constexpr const char* BadAmount = "予算額は 0 から 2,147,483,647 までの整数です";
// The walk back for the carry ends at the item's first entry; this bounds a
// plan whose first entry lies centuries back.
constexpr int CarryLookBack = 1200;

int key(int year, int month) {
    return year * 12 + month - 1;
}

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        fields.push_back(line.substr(start, comma - start));
        if (comma == std::string_view::npos) return fields;
        start = comma + 1;
    }
}

bool parseDigits(std::string_view text, int64_t max, int64_t& value) {
    if (text.empty() || text.size() > 10) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return value <= max;
}

int64_t expenseOf(const LedgerItem& item) {
    int64_t sum = 0;
    for (const DayCell& d : item.Days)
        sum += d.Expense;
    return sum;
}

// The expense total of the month's item of that name; 0 when it has none.
int64_t spentIn(const MonthLedger& month, const std::string& name) {
    for (int i = 1; i <= ShownItems; ++i)
        if (month.Items[i].Name == name) return expenseOf(month.Items[i]);
    return 0;
}

} // namespace

std::optional<BudgetEntry> BudgetPlan::at(const std::string& name, int year, int month) const {
    const auto item = items_.find(name);
    if (item == items_.end()) return std::nullopt;
    auto it = item->second.upper_bound(key(year, month));
    if (it == item->second.begin()) return std::nullopt;
    --it;
    if (!it->second.budgeted) return std::nullopt;
    return it->second;
}

void BudgetPlan::set(const std::string& name, int year, int month, const BudgetEntry& entry) {
    if (entry.budgeted && entry.amount < 0) throw AppError(msg::IntOverflow);
    if (year < 1 || year > 9999 || month < 1 || month > 12) throw AppError(msg::InvalidDate);
    BudgetEntry stored = entry;
    if (!stored.budgeted) stored = BudgetEntry{false, 0, false, false};
    items_[name][key(year, month)] = stored;
}

void BudgetPlan::setIfChanged(const std::string& name, int year, int month,
                              const BudgetEntry& entry) {
    const std::optional<BudgetEntry> now = at(name, year, month);
    const bool same = now ? *now == entry : !entry.budgeted;
    if (!same) set(name, year, month, entry);
}

bool BudgetPlan::operator==(const BudgetPlan& o) const {
    if (items_.size() != o.items_.size()) return false;
    for (const auto& [name, months] : items_) {
        const auto other = o.items_.find(name);
        if (other == o.items_.end() || other->second.size() != months.size()) return false;
        for (const auto& [k, e] : months) {
            const auto it = other->second.find(k);
            if (it == other->second.end() || it->second != e) return false;
        }
    }
    return true;
}

std::string formatBudgetPlan(const BudgetPlan& plan) {
    std::string out = std::string(Header) + "\r\n";
    char buf[64];
    for (const auto& [name, months] : plan.items())
        for (const auto& [k, e] : months) {
            if (e.budgeted)
                std::snprintf(buf, sizeof buf, "%04d-%02d,%%s,%d,%c,%d", k / 12, k % 12 + 1,
                              e.amount, e.fixed ? 'F' : 'V', e.carry ? 1 : 0);
            else
                std::snprintf(buf, sizeof buf, "%04d-%02d,%%s,-,V,0", k / 12, k % 12 + 1);
            std::string line = buf;
            line.replace(line.find("%s"), 2, name);
            out += line + "\r\n";
        }
    return out;
}

BudgetPlan parseBudgetPlan(const std::string& bytes) {
    BudgetPlan plan;
    int number = 0;
    bool headerSeen = false;
    forEachLine(bytes, [&](std::string_view line) {
        ++number;
        auto bad = [&] { return AppError(std::to_string(number) + " 行目が読めません"); };
        if (!headerSeen) {
            if (line != Header) throw bad();
            headerSeen = true;
            return;
        }
        if (line.empty()) return;
        const std::vector<std::string_view> f = splitFields(line);
        int64_t year = 0, month = 0, amount = 0;
        if (f.size() != 5 || f[0].size() != 7 || f[0][4] != '-' ||
            !parseDigits(f[0].substr(0, 4), 9999, year) || year < 1 ||
            !parseDigits(f[0].substr(5), 12, month) || month < 1 || f[1].empty() ||
            (f[3] != "F" && f[3] != "V") || (f[4] != "0" && f[4] != "1"))
            throw bad();
        BudgetEntry e;
        e.budgeted = f[2] != "-";
        if (e.budgeted && !parseDigits(f[2], BudgetMax, amount)) throw bad();
        e.amount = static_cast<int32_t>(amount);
        e.fixed = f[3] == "F";
        e.carry = f[4] == "1";
        const std::string name(f[1]);
        // Two entries for one month would leave which one counts to chance.
        const auto item = plan.items().find(name);
        if (item != plan.items().end() && item->second.count(key(int(year), int(month))))
            throw bad();
        plan.set(name, int(year), int(month), e);
    });
    if (!headerSeen && !bytes.empty()) throw AppError("1 行目が読めません");
    return plan;
}

BudgetFile readBudgetFile(FileStore& files, const std::string& ledgerDir) {
    BudgetFile file;
    file.path = joinPath(ledgerDir, BudgetFileName);
    std::string bytes;
    try {
        const int err = files.tryRead(file.path, bytes);
        if (err == ENOENT || err == ENOTDIR) return file;
        if (err) throw fileError(err, file.path);
        file.plan = parseBudgetPlan(bytes);
    } catch (const AppError& e) {
        file.plan = BudgetPlan();
        file.damaged = true;
        file.error = "予算ﾌｧｲﾙ " + file.path + " を読めません: " + e.what();
    }
    return file;
}

void writeBudgetFile(FileStore& files, const std::string& ledgerDir, const BudgetPlan& plan) {
    files.writeSafely(joinPath(ledgerDir, BudgetFileName), formatBudgetPlan(plan));
}

int32_t parseBudgetAmount(const std::string& text) {
    std::string digits;
    for (char c : text)
        if (c != ',') digits += c;
    int64_t value = 0;
    if (!parseDigits(digits, BudgetMax, value)) throw AppError(BadAmount);
    return static_cast<int32_t>(value);
}

MonthReader monthFileReader(FileStore& files, const MonthLedger& names, const std::string& dir) {
    return [&files, names, dir](int year, int month) {
        MonthLedger m = names;
        std::string file;
        if (loadMonthFile(files, m, dir, year, month, LoadMode::Current, &file) ==
            MonthFileState::Unreadable)
            files.read(file); // names the error
        return m;
    };
}

void fillBudgetLine(BudgetLine& line, const BudgetEntry& e, int daysLeft,
                    const std::function<std::optional<BudgetEntry>(int k)>& entryBack,
                    const std::function<int64_t(int k)>& spentBack, std::string& error) {
    line.budgeted = true;
    line.fixed = e.fixed;
    line.carry = e.carry;
    line.planned = e.amount;
    // The chain of spans before whose rest comes in: each with its carry on.
    std::vector<std::pair<int, int64_t>> chain; // how far back, its planned amount
    for (int k = 1;; ++k) {
        const std::optional<BudgetEntry> p = entryBack(k);
        if (!p || !p->carry) break;
        chain.emplace_back(k, p->amount);
    }
    try {
        int64_t carried = 0;
        for (auto it = chain.rbegin(); it != chain.rend(); ++it)
            carried = it->second + carried - spentBack(it->first);
        line.carried = carried;
    } catch (const AppError& err) {
        if (error.empty()) error = err.what();
    }
    line.budget = line.planned + line.carried;
    line.remaining = line.budget - line.spent;
    if (!line.fixed && daysLeft > 0 && line.remaining > 0) {
        line.hasPace = true;
        line.pace = line.remaining / daysLeft;
    }
}

BudgetSummary budgetSummary(const BudgetPlan& plan, const MonthLedger& month, int year, int mon,
                            int daysLeft, const MonthReader& earlier) {
    BudgetSummary s;
    // Each earlier month is read once for all items.
    std::map<int, MonthLedger> read;
    auto earlierMonth = [&](int k) -> const MonthLedger& {
        auto it = read.find(k);
        if (it == read.end()) it = read.emplace(k, earlier(k / 12, k % 12 + 1)).first;
        return it->second;
    };
    for (int i = 1; i <= ShownItems; ++i) {
        const std::string& name = month.Items[i].Name;
        if (name.empty()) continue;
        BudgetLine& line = s.lines[i];
        // What was spent counts for every item, budget or not.
        line.spent = spentIn(month, name);
        const std::optional<BudgetEntry> e = plan.at(name, year, mon);
        if (!e) continue;
        const int here = key(year, mon);
        fillBudgetLine(
            line, *e, daysLeft,
            [&](int k) -> std::optional<BudgetEntry> {
                if (k > CarryLookBack || here - k < 0) return std::nullopt;
                return plan.at(name, (here - k) / 12, (here - k) % 12 + 1);
            },
            [&](int k) { return spentIn(earlierMonth(here - k), name); }, s.error);
        s.any = true;
    }
    return s;
}

int daysLeftInMonth(int year, int month, int todayYear, int todayMonth, int todayDay) {
    const int shown = key(year, month), now = key(todayYear, todayMonth);
    if (shown < now) return 0;
    const int days = daysInMonth(year, month);
    if (shown > now) return days;
    return todayDay > days ? 0 : days - todayDay + 1;
}

RangeArray<BudgetDay, 1, 31> variableBudgetByDay(const BudgetSummary& summary,
                                                 const MonthLedger& month, int days) {
    RangeArray<BudgetDay, 1, 31> out;
    int64_t budget = 0;
    for (int i = 1; i <= ShownItems; ++i) {
        const BudgetLine& l = summary.lines[i];
        if (l.budgeted && !l.fixed) budget += l.budget;
    }
    int64_t spent = 0;
    for (int d = 1; d <= days && d <= 31; ++d) {
        for (int i = 1; i <= ShownItems; ++i) {
            const BudgetLine& l = summary.lines[i];
            if (l.budgeted && !l.fixed) spent += month.Items[i].Days[d].Expense;
        }
        out[d].spent = spent;
        out[d].allowed = budget * d / days;
    }
    return out;
}

YearBudget yearBudget(const BudgetPlan& plan, int year, const MonthReader& months) {
    if (plan.empty()) return {};
    return yearBudget(
        [&](int m) { return budgetSummary(plan, months(year, m), year, m, 0, months); });
}

YearBudget yearBudget(const std::function<BudgetSummary(int month)>& summaryOf) {
    YearBudget y;
    for (int m = 1; m <= 12; ++m) {
        try {
            y.months[m] = summaryOf(m);
        } catch (const AppError&) {
            continue;
        }
        y.read[m] = true;
        y.any = y.any || y.months[m].any;
        for (int i = 1; i <= ShownItems; ++i) {
            const BudgetLine& l = y.months[m].lines[i];
            if (!l.budgeted) continue;
            BudgetLine& t = y.year[i];
            // Only the first budgeted month's carry comes from outside the year.
            t.budget += l.planned + (t.budgeted ? 0 : l.carried);
            t.budgeted = true;
            t.spent += l.spent;
            t.remaining = t.budget - t.spent;
        }
    }
    return y;
}
