#include "ledger/statement_post.h"

#include "ledger/errors.h"
#include "ledger/text_file.h"

#include <cstdio>
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
        book.addAmount(m, item, row.day, row.income ? AmountField::Income : AmountField::Expense,
                       row.amount, ChangeSource::Imported);
        posted.push_back(&row);
    }
    if (posted.empty()) return 0;
    // The side files are written before the months are committed and put
    // back when that fails: a log naming rows that were not posted would
    // hide them at the next import.
    struct Kept {
        std::string path, bytes;
        bool existed;
    };
    std::vector<Kept> kept;
    ImportLog log = files.log;
    const std::pair<const char*, std::string> writes[] = {
        {ImportLogFile, appendToImportLog(log, posted)},
        {ImportRulesFile, formatImportRules(files.rules)}};
    try {
        for (const auto& [name, bytes] : writes) {
            Kept k{book.sideFile(name), {}, false};
            k.existed = tryReadFileBytes(k.path, k.bytes) == 0;
            writeFileSafely(k.path, bytes);
            kept.push_back(std::move(k));
        }
        group.commit();
    } catch (...) {
        for (const Kept& k : kept) {
            try {
                if (k.existed)
                    writeFileSafely(k.path, k.bytes);
                else
                    std::remove(k.path.c_str());
            } catch (const AppError&) {
                // The first error is the one to report.
            }
        }
        throw;
    }
    files.log = std::move(log);
    return static_cast<int>(posted.size());
}
