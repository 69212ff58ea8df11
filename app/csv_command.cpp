#include "app/csv_command.h"

#include "app/command_line.h"
#include "ledger/carry_chain.h"
#include "ledger/csv_export.h"
#include "ledger/errors.h"
#include "ledger/export_month.h"
#include "ledger/text_file.h"
#include "ledger/year_model.h"

#include <cstdio>
#include <regex>

int runCsvExport(const std::string& period, const std::string& outPath) {
    std::smatch match;
    static const std::regex shape("([0-9]{1,4})(?:-([0-9]{1,2}))?");
    if (!std::regex_match(period, match, shape) || outPath.empty() ||
        (match[2].matched && (std::stoi(match[2]) < 1 || std::stoi(match[2]) > 12)) ||
        std::stoi(match[1]) < 1) {
        std::fprintf(stderr,
                     "--csv: 年 (1996) か年月 (1996-12) と出力先のﾌｧｲﾙ名を指定してください\n");
        return 2;
    }
    const int year = std::stoi(match[1]);
    try {
        const WorkingConfig cfg = readWorkingConfig();
        if (!match[2].matched) {
            const YearModel model = buildYearModel(cfg.ledger, cfg.ledgerDir, year);
            writeFileSafely(outPath, yearCsv(model));
            for (int m : model.unreadableMonths())
                std::fprintf(stderr, "%s: %s\n", monthLabel(year, m).c_str(),
                             model.months[m].error.c_str());
            return 0;
        }
        const int month = std::stoi(match[2]);
        MonthLedger ledger = cfg.ledger;
        readMonthForExport(ledger, cfg.ledgerDir, year, month);
        writeFileSafely(outPath, monthCsv(ledger, year, month));
        return 0;
    } catch (const std::exception& e) {
        return reportFailure(e, 1);
    }
}
