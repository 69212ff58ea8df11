#include "ledger/statement_post.h"

#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/report_marks.h"
#include "ledger/sync_imports.h"
#include "ledger/text_file.h"

#include <cerrno>

#include <algorithm>
#include <map>
#include <utility>

namespace {

// Text for a line's memo or source: what CP932 cannot hold becomes "?", a
// control character a blank (a tab stays where `tabs`).
std::string lineText(std::string_view utf8, bool tabs) {
    std::string out;
    try {
        out = utf8ToCp932(utf8);
    } catch (const AppError&) {
        for (std::size_t i = 0; i < utf8.size();) {
            const std::size_t start = i;
            nextCodePoint(utf8, i);
            try {
                out += utf8ToCp932(utf8.substr(start, i - start));
            } catch (const AppError&) {
                out += '?';
            }
        }
    }
    for (char& c : out)
        if ((static_cast<unsigned char>(c) < 0x20 && !(tabs && c == '\t')) || c == 0x7F) c = ' ';
    return out;
}

} // namespace

void markScheduledRows(std::vector<StatementRow>& rows, const Schedule& schedule) {
    for (StatementRow& row : rows) {
        if (row.state != RowState::New || row.item.empty()) continue;
        const int64_t day = dayNumber({row.year, row.month, row.day});
        for (const PostingRecord& r : schedule.records) {
            if (r.state != PostingState::Done || r.item != row.item || r.expense == row.income ||
                r.amount != row.amount)
                continue;
            const int64_t apart = dayNumber(r.date) - day;
            if (apart < -3 || apart > 3) continue;
            row.scheduled = true;
            row.ticked = false;
            break;
        }
    }
}

EntryLine statementLine(const StatementRow& row) {
    EntryLine line;
    line.day = row.day;
    line.side = row.income ? LineSide::Income : LineSide::Expense;
    line.item = row.item;
    line.amount = row.amount;
    line.memo = lineText(row.description, false);
    line.origin = LineOrigin::Imported;
    line.source = lineText(row.fingerprint(), true);
    if (row.transfer) setLineMark(line, ReportMark::Transfer);
    return line;
}

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
    // Rows posted before lines existed get theirs first, once; what stops
    // it (a damaged line file) is tried again at the next import.
    try {
        migrateImportLines(book, files.log);
    } catch (const std::exception&) {
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
            book.addLine(m, statementLine(row), ChangeSource::Imported);
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
    // Each PC writes its own log; a book on one PC (no name) the shared one.
    const std::string logName =
        book.pcName().empty() ? std::string(ImportLogFile) : pcImportLogName(book.pcName());
    try {
        book.files().writeSafely(book.sideFile(logName), appendToImportLog(log, posted, step));
    } catch (const std::exception& e) {
        files.logTrouble =
            logName + " に書き込めませんでした (" + e.what() +
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
    if (!book.pcName().empty())
        joinPcImportLogs(book.files(), book.ledgerDir(), book.pcName(),
                         book.journal().peers().empty(), log);
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

int migrateImportLines(Book& book, const ImportLog& log) {
    const std::string mark = book.sideFile(ImportLinesMark);
    std::string bytes;
    if (book.files().tryRead(mark, bytes) != ENOENT) return 0;
    std::map<MonthKey, std::vector<EntryLine>> made;
    for (const auto& [fingerprint, step] : log.fingerprints) {
        if (!step || log.undone.count(step)) continue;
        // "2026-12-08<TAB>-1280<TAB>1<TAB>description"
        int year = 0, month = 0, day = 0, occurrence = 0;
        long long amount = 0;
        int used = 0;
        if (std::sscanf(fingerprint.c_str(), "%d-%d-%d\t%lld\t%d\t%n", &year, &month, &day, &amount,
                        &occurrence, &used) != 5 ||
            used <= 0 || amount == 0 || amount < -INT32_MAX || amount > INT32_MAX)
            continue;
        const AmountField field = amount < 0 ? AmountField::Expense : AmountField::Income;
        const ChangeStep* s = book.journal().step(step);
        if (!s) continue;
        // The item the step posted to on that day and side, when only one.
        std::string item;
        bool several = false;
        for (const JournalRecord& r : s->records) {
            if (r.kind != JournalRecord::Kind::Amount || r.month != MonthKey{year, month} ||
                r.day != day || r.field != field)
                continue;
            if (!item.empty() && item != r.item) several = true;
            item = r.item;
        }
        const int slot = itemSlot(book.ledger(), item);
        if (item.empty() || several || slot < 1 || slot > ShownItems) continue;
        EntryLine line;
        line.day = day;
        line.side = amount < 0 ? LineSide::Expense : LineSide::Income;
        line.item = item;
        line.amount = static_cast<int32_t>(amount < 0 ? -amount : amount);
        line.memo =
            lineText(std::string_view(fingerprint).substr(static_cast<std::size_t>(used)), false);
        line.origin = LineOrigin::Imported;
        line.source = lineText(fingerprint, true);
        made[{year, month}].push_back(std::move(line));
    }
    int count = 0;
    {
        Book::ChangeGroup group(book, ChangeSource::Imported, "取り込みの内訳");
        for (auto& [m, lines] : made) {
            MonthLedger month;
            try {
                month = book.month(m);
            } catch (const AppError&) {
                continue; // a month that cannot be read gets no lines
            }
            const std::vector<EntryLine>& have = book.lines(m);
            std::vector<EntryLine> adopt;
            for (EntryLine& line : lines) {
                const bool known = std::any_of(have.begin(), have.end(), [&](const EntryLine& l) {
                    return l.origin == LineOrigin::Imported && l.source == line.source;
                });
                if (known) continue;
                std::vector<EntryLine> with = have;
                with.insert(with.end(), adopt.begin(), adopt.end());
                with.push_back(line);
                const CellParts parts = cellParts(with, month, line.item, line.day, line.side);
                if (parts.unlined < 0) continue;
                adopt.push_back(std::move(line));
            }
            if (adopt.empty()) continue;
            book.adoptLines(m, adopt, ChangeSource::Imported);
            count += static_cast<int>(adopt.size());
        }
        group.commit();
    }
    book.files().writeSafely(mark, "ZADUD-IMPORT-LINES,1\r\n");
    return count;
}
