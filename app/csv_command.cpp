#include "app/csv_command.h"

#include "app/command_line.h"
#include "app/period_command.h"
#include "ledger/budget_plan.h"
#include "ledger/carry_chain.h"
#include "ledger/csv_export.h"
#include "ledger/errors.h"
#include "ledger/export_month.h"
#include "ledger/period_figures.h"
#include "ledger/period_sheet.h"
#include "ledger/text_file.h"
#include "ledger/year_model.h"
#include "storage/disk_store.h"

#include <cstdio>

int runCsvExport(const std::string& period, const std::string& outPath) {
    DiskStore disk;
    Period named;
    if (!parsePeriod(period, named) || outPath.empty()) {
        std::fprintf(stderr,
                     "--csv: 年 (1996) か年月 (1996-12) と出力先のﾌｧｲﾙ名を指定してください\n");
        return 2;
    }
    const int year = named.year, month = named.month;
    try {
        checkOutputFolder(outPath);
    } catch (const std::exception& e) {
        return reportFailure(e, 2);
    }
    try {
        const WorkingConfig cfg = readWorkingConfig();
        if (month == 0) {
            const YearModel model = buildYearModel(disk, cfg.ledger, cfg.ledgerDir, year);
            disk.writeSafely(outPath, yearCsv(model));
            reportWritten("CSV", outPath);
            for (int m : model.unreadableMonths())
                std::fprintf(stderr, "%s: %s\n", monthLabel(year, m).c_str(),
                             model.months[m].error.c_str());
            return 0;
        }
        // Without a readable budget file the month goes out without budgets.
        const BudgetFile budgets = readBudgetFile(disk, cfg.ledgerDir);
        if (budgets.damaged) std::fprintf(stderr, "%s\n", budgets.error.c_str());
        // The month names a period (ZADUD.PRD); day 1 is the calendar month.
        const PeriodRule rule = commandPeriodRule(cfg.ledgerDir);
        if (!rule.calendar()) {
            const MonthReader months = [&cfg, &disk](int y, int m) {
                MonthLedger l = cfg.ledger;
                readMonthForExport(disk, l, cfg.ledgerDir, y, m);
                return l;
            };
            const BudgetSummary summary =
                periodBudgetSummary(budgets.plan, rule, {year, month}, 0, months);
            const PeriodSheet sheet = periodSheet(periodRange(rule, {year, month}), months);
            disk.writeSafely(outPath, periodCsv(sheet, &summary));
            reportWritten("CSV", outPath);
            return 0;
        }
        MonthLedger ledger = cfg.ledger;
        readMonthForExport(disk, ledger, cfg.ledgerDir, year, month);
        const BudgetSummary summary = budgetSummary(
            budgets.plan, ledger, year, month, 0, monthFileReader(disk, cfg.ledger, cfg.ledgerDir));
        const MonthLineFile lines = loadLineFile(disk, cfg.ledgerDir, year, month);
        if (!lines.problem.empty()) std::fprintf(stderr, "%s\n", lines.problem.c_str());
        disk.writeSafely(outPath, monthCsv(ledger, year, month, &summary) +
                                      linesCsv(lines.lines, year, month));
        reportWritten("CSV", outPath);
        return 0;
    } catch (const std::exception& e) {
        return reportFailure(e, 1);
    }
}
