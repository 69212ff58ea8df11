#include "app/report_command.h"

#include "app/command_line.h"
#include "app/period_command.h"
#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/report_figures.h"
#include "storage/disk_store.h"

#include <cerrno>
#include <cstdio>

namespace {

std::string figure(const std::optional<int64_t>& value) {
    return value ? std::to_string(*value) : "―";
}

void printRow(const std::string& name, const Comparison& c) {
    std::printf("%s\t%lld\t%s\t%s\t%s\n", name.c_str(), static_cast<long long>(c.now),
                figure(c.last).c_str(), figure(c.lastYear).c_str(), figure(c.average).c_str());
}

} // namespace

MarkSet commandMarks(FileStore& files, const std::string& ledgerDir) {
    const MarkFile file = readMarkFile(files, ledgerDir);
    if (file.damaged) std::fprintf(stderr, "%s\n", file.error.c_str());
    return file.marks;
}

int runReportCommand(const std::string& month) {
    DiskStore disk;
    Period p;
    if (!parsePeriod(month, p) || p.month == 0) {
        std::fprintf(stderr, "年月 (1996-12) を指定してください\n");
        return 2;
    }
    try {
        const WorkingConfig cfg = readWorkingConfig();
        ReportBook book(commandPeriodRule(cfg.ledgerDir),
                        reportFileSource(disk, cfg.ledger, cfg.ledgerDir),
                        commandMarks(disk, cfg.ledgerDir));
        const PeriodReport r = book.report({p.year, p.month});
        for (const ReportItem& item : r.items)
            printRow(cp932ToUtf8Lossy(item.name), item.expense);
        printRow("合計", r.expense);
        std::printf("貯蓄率\t%s\t%s\n", savingsRateText(r.savings).c_str(),
                    savingsRateText(r.year).c_str());
        if (std::fflush(stdout) != 0) throw fileError(EIO, "");
        // Figures from a line file read in part may miss a mark: said, not fatal.
        for (const std::string& problem : r.problems)
            std::fprintf(stderr, "%s\n", problem.c_str());
        return 0;
    } catch (const std::exception& e) {
        return reportFailure(e, 1);
    }
}
