#include "app/find_command.h"

#include "app/command_line.h"
#include "ledger/cp932.h"
#include "ledger/entry_lines.h"
#include "ledger/errors.h"
#include "storage/disk_store.h"
#include "windows/diary_search.h"

#include <cerrno>
#include <cstdio>

int runFindCommand(const QString& query) {
    DiskStore disk;
    try {
        const LineQuery q = parseLineQuery(query.toStdString(), foldForSearch);
        const WorkingConfig cfg = readWorkingConfig();
        const LineSearchResult found = searchLines(disk, cfg.ledgerDir, q, foldForSearch);
        for (const LineHit& hit : found.hits) {
            char date[16];
            std::snprintf(date, sizeof date, "%04d-%02d-%02d", hit.year, hit.month, hit.line.day);
            const long long amount =
                hit.line.side == LineSide::Expense ? -hit.line.amount : hit.line.amount;
            const std::string row = std::string(date) + '\t' + cp932ToUtf8Lossy(hit.line.item) +
                                    '\t' + std::to_string(amount) + '\t' +
                                    cp932ToUtf8Lossy(hit.line.memo) + '\n';
            std::fwrite(row.data(), 1, row.size(), stdout);
        }
        if (std::fflush(stdout) != 0) throw fileError(EIO, "");
        for (const std::string& problem : found.problems)
            std::fprintf(stderr, "%s\n", problem.c_str());
        return !found.problems.empty() ? 2 : found.hits.empty() ? 1 : 0;
    } catch (const std::exception& e) {
        return reportFailure(e, 2);
    }
}
