#include "app/import_command.h"

#include "app/command_line.h"
#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/schedule.h"
#include "ledger/statement.h"
#include "ledger/statement_post.h"
#include "ledger/text_file.h"
#include "storage/disk_store.h"
#include "storage/local_clock.h"

#include <QDir>
#include <cerrno>
#include <cstdio>

namespace {

// A statement is a few thousand rows; anything far larger is not one, and a
// device that never ends (/dev/zero) is refused before it is read.
constexpr long long MaxStatementBytes = 32ll << 20;

std::string rowLine(const StatementRow& row) {
    char date[16] = "-";
    if (row.year) std::snprintf(date, sizeof date, "%04d-%02d-%02d", row.year, row.month, row.day);
    std::string line =
        std::string(date) + '\t' + (row.item.empty() ? "?" : cp932ToUtf8Lossy(row.item)) + '\t';
    if (row.state != RowState::Problem)
        line += (row.income ? "" : "-") + std::to_string(row.amount);
    line += '\t';
    if (row.state == RowState::Problem)
        line += "skipped (" + std::to_string(row.line) + "行目: " + row.problem + ")";
    else if (row.state == RowState::ImportedBefore)
        line += "imported before";
    else if (row.ticked)
        line += "new";
    else if (row.scheduled)
        line += "skipped (定期入力済みかも)";
    else
        line += "skipped";
    // The description last, on one line whatever it holds.
    std::string description = row.description;
    for (char& c : description)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return line + '\t' + description + '\n';
}

} // namespace

int runImportCommand(const ImportOptions& options) {
    DiskStore disk;
    try {
        // The book of the working directory, as the main window reads it,
        // with no month in memory: every row goes to its month's file.
        checkInputFile(options.file, "明細のファイル", MaxStatementBytes);
        const Statement statement = readStatement(disk.read(options.file));
        Book book(QDir::currentPath().toStdString(), disk, localStamp);
        const auto exists = [](const std::string& path) { return isDirectory(path); };
        book.readConfiguration(exists, exists);
        // A dry run writes nothing, not even what an earlier run left
        // half-done; a real one finishes that first.
        book.setReadOnly(options.dryRun);
        book.recover();
        const std::string trouble = book.takeJournalWarning();
        if (!trouble.empty()) std::fprintf(stderr, "%s\n", trouble.c_str());
        ImportSideFiles files = readImportSideFiles(disk, book.ledgerDir());
        learnFromJournal(book, files.log);
        for (const std::string& w : files.warnings)
            std::fprintf(stderr, "%s\n", w.c_str());
        const ColumnChoice columns = columnsFor(statement, files.profiles, options.profile);
        if (!columns.usable()) throw AppError(NoStatementTable);
        std::vector<StatementRow> rows = statementRows(statement, columns);
        std::string defaultItem;
        if (!options.defaultItem.empty()) {
            defaultItem = utf8ToCp932(options.defaultItem);
            if (!itemSlot(book.ledger(), defaultItem))
                throw AppError("項目 " + options.defaultItem + " がありません");
        }
        matchRows(rows, files.log, files.rules, book.ledger(), defaultItem);
        // A schedule that cannot be read marks nothing; the window names it.
        try {
            markScheduledRows(rows, readScheduleFile(disk, book.sideFile(ScheduleFileName)));
        } catch (const std::exception&) {
        }
        refuseUnreadableStatement(rows);
        if (!options.dryRun) postStatementRows(book, rows, files);
        if (!files.logTrouble.empty()) std::fprintf(stderr, "%s\n", files.logTrouble.c_str());
        std::string out;
        for (const StatementRow& row : rows)
            out += rowLine(row);
        std::fwrite(out.data(), 1, out.size(), stdout);
        if (std::fflush(stdout) != 0) throw fileError(EIO, "");
        return 0;
    } catch (const std::exception& e) {
        return reportFailure(e, 2);
    }
}
