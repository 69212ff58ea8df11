#include "app/budget_command.h"

#include "app/command_args.h"
#include "app/command_line.h"
#include "app/period_command.h"
#include "app/report_command.h"
#include "ledger/budget_plan.h"
#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/period_figures.h"
#include "ledger/report_figures.h"
#include "ledger/text_file.h"
#include "storage/disk_store.h"

#include <cerrno>
#include <cstdio>

namespace {

constexpr const char* BadMonth = "年月 (1996-12) を指定してください";
constexpr const char* SetUsage = "--set-budget: 年月 (1996-12)、項目名と予算額を指定してください";

bool parseMonth(const std::string& text, Period& p) {
    return parsePeriod(text, p) && p.month != 0;
}

int usage(const char* text) {
    std::fprintf(stderr, "%s\n", text);
    return 2;
}

// The configured slot whose name reads as `utf8`, or 0.
int itemNamed(const MonthLedger& names, const std::string& utf8) {
    for (int i = 1; i <= ShownItems; ++i)
        if (!names.Items[i].Name.empty() && cp932ToUtf8Lossy(names.Items[i].Name) == utf8) return i;
    return 0;
}

BudgetPlan readPlan(const std::string& ledgerDir) {
    DiskStore disk;
    BudgetFile file = readBudgetFile(disk, ledgerDir);
    if (file.damaged) throw AppError(file.error);
    return file.plan;
}

} // namespace

int runSetBudget(const std::string& month, const QStringList& args) {
    DiskStore disk;
    Period p;
    if (!parseMonth(month, p)) return usage(BadMonth);
    if (args.size() != 2) return usage(SetUsage);
    const std::string name = args[0].toStdString();
    int32_t amount = 0;
    WorkingConfig cfg;
    try {
        // Read as every option reads an amount; the range is the budget's.
        amount = parseBudgetAmount(std::to_string(amountArgument("--set-budget", args[1])));
        cfg = readWorkingConfig();
    } catch (const std::exception& e) {
        return reportFailure(e, 2);
    }
    const int item = itemNamed(cfg.ledger, name);
    if (item == 0) {
        std::fprintf(stderr, "項目 '%s' は設定されていません\n", name.c_str());
        return 2;
    }
    try {
        BudgetPlan plan = readPlan(cfg.ledgerDir);
        const std::string& bytes = cfg.ledger.Items[item].Name;
        // The marks stay as they were; only the amount is the command's.
        BudgetEntry entry = plan.at(bytes, p.year, p.month).value_or(BudgetEntry{});
        entry.budgeted = true;
        entry.amount = amount;
        plan.set(bytes, p.year, p.month, entry);
        writeBudgetFile(disk, cfg.ledgerDir, plan);
        std::printf("%sの予算を %04d-%02d から %ld にしました (%s)\n", name.c_str(), p.year,
                    p.month, long(amount), joinPath(cfg.ledgerDir, BudgetFileName).c_str());
        return 0;
    } catch (const std::exception& e) {
        return reportFailure(e, 1);
    }
}

int runBudgetReport(const std::string& month) {
    DiskStore disk;
    Period p;
    if (!parseMonth(month, p)) return usage(BadMonth);
    try {
        const WorkingConfig cfg = readWorkingConfig();
        const BudgetPlan plan = readPlan(cfg.ledgerDir);
        // Amounts marked 集計対象外 or 振替 are not spending against a budget.
        const MonthReader reader = countedMonthReader(
            reportFileSource(disk, cfg.ledger, cfg.ledgerDir), commandMarks(disk, cfg.ledgerDir));
        // The month names a period (ZADUD.PRD); day 1 is the calendar month.
        const MonthLedger& shown = cfg.ledger;
        const BudgetSummary s = periodBudgetSummary(plan, commandPeriodRule(cfg.ledgerDir),
                                                    {p.year, p.month}, 0, reader);
        for (int i = 1; i <= ShownItems; ++i) {
            const std::string& name = shown.Items[i].Name;
            if (name.empty()) continue;
            const BudgetLine& l = s.lines[i];
            // An item without a budget leaves its budget and remaining empty.
            const std::string budget = l.budgeted ? std::to_string(l.budget) : "";
            const std::string remaining = l.budgeted ? std::to_string(l.remaining) : "";
            // What was spent is the period's, budget or not.
            std::printf("%s\t%s\t%lld\t%s\n", cp932ToUtf8Lossy(name).c_str(), budget.c_str(),
                        static_cast<long long>(l.spent), remaining.c_str());
        }
        if (std::fflush(stdout) != 0) throw fileError(EIO, "");
        if (!s.error.empty()) throw AppError(s.error);
        return 0;
    } catch (const std::exception& e) {
        return reportFailure(e, 1);
    }
}
