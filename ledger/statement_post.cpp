#include "ledger/statement_post.h"

#include "ledger/errors.h"
#include "ledger/text_file.h"

#include <algorithm>
#include <map>
#include <utility>

int postStatementRows(Book& book, std::vector<StatementRow>& rows, ImportSideFiles& files) {
    // Held months are found before anything is posted, so that their rows
    // are marked while a real failure still undoes the whole import.
    std::map<MonthKey, std::string> refused;
    for (const StatementRow& row : rows) {
        const MonthKey m{row.year, row.month};
        if (!row.ticked || refused.count(m)) continue;
        if (m == book.shown()) {
            if (book.held()) refused[m] = book.heldMessage();
            continue;
        }
        try {
            book.month(m);
        } catch (const AppError& e) {
            refused[m] = e.what();
        }
    }
    std::vector<const StatementRow*> posted;
    {
        Book::ChangeGroup group(book, ChangeSource::Imported, "明細の取り込み");
        for (StatementRow& row : rows) {
            if (!row.ticked) continue;
            const MonthKey m{row.year, row.month};
            const int item = itemSlot(book.ledger(), row.item);
            const auto held = refused.find(m);
            if (held != refused.end() || item == 0) {
                row.state = RowState::Problem;
                row.problem = item == 0 ? "項目がありません" : held->second;
                row.ticked = false;
                continue;
            }
            book.addAmount(m, item, row.day,
                           row.income ? AmountField::Income : AmountField::Expense, row.amount,
                           ChangeSource::Imported);
            posted.push_back(&row);
        }
        if (posted.empty()) return 0;
        for (const StatementRow* row : posted)
            book.noteImportedRow({row->year, row->month}, row->day, row->fingerprint());
        // The rules go first: a failure there leaves the months as they were.
        book.files().writeSafely(book.sideFile(ImportRulesFile), formatImportRules(files.rules));
        group.commit();
    }
    // The log names the step now committed. The journal names the rows as
    // well, so a log that cannot be written costs no row: it is said, and
    // the import stands.
    const auto& steps = book.journal().undoable();
    const uint64_t step = steps.empty() ? 0 : steps.back();
    ImportLog log = files.log;
    try {
        book.files().writeSafely(book.sideFile(ImportLogFile),
                                 appendToImportLog(log, posted, step));
    } catch (const std::exception& e) {
        files.logTrouble =
            std::string(ImportLogFile) + " に書き込めませんでした (" + e.what() +
            ")。取り込んだ行は変更履歴に記録されているため、二重には取り込まれません";
    }
    files.log = std::move(log);
    return static_cast<int>(posted.size());
}

std::set<uint64_t> undoneSteps(const Book& book) {
    std::set<uint64_t> undone;
    for (const Book::HistoryRow& row : book.history())
        if (row.undone) undone.insert(row.group);
    return undone;
}

void learnFromJournal(Book& book, ImportLog& log) {
    log.undone = undoneSteps(book);
    uint64_t highest = 0;
    for (const auto& [fingerprint, step] : log.fingerprints)
        highest = std::max(highest, step);
    book.journal().reserveAbove(highest);
    // A later import of a row (after an undo) is the one that counts.
    for (const auto& [fingerprint, step] : book.importedRows()) {
        uint64_t& known = log.fingerprints[fingerprint];
        known = std::max(known, step);
    }
}
