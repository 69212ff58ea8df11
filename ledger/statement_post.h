#pragma once
// Posting a statement's ticked rows through the book's one door.

#include "ledger/book.h"
#include "ledger/schedule.h"
#include "ledger/statement.h"

#include <cstdint>
#include <set>
#include <vector>

// Adds each ticked row's amount to its item's day (income or expense) in its
// month, as one undo step that also names the rows (the journal knows them
// as imported from then on), then writes the import log (the posted rows'
// fingerprints) and the rules. A row of a month that may not be changed
// (its file or the one before could not be read, totals out of range) is
// marked with the reason and left out. Any other failure, in the rules or
// in the step itself, puts every posted row back and is rethrown. A log that
// cannot be written after the step is made leaves the rows posted (the
// journal names them) and says so in files.logTrouble. The log records the
// undo step, so that rows of an import undone since count as not imported.
// Returns the number of rows posted.
// New rows that a scheduled posting seems to have entered already (same
// item and side, same amount, dates at most three days apart: the salary in
// the bank statement, a subscription on the card) are marked and unticked.
void markScheduledRows(std::vector<StatementRow>& rows, const Schedule& schedule);

// Each posted row is an entry line of its cell, its description the memo.
int postStatementRows(Book& book, std::vector<StatementRow>& rows, ImportSideFiles& files);

// Rows imported before entry lines existed get their lines once, from the
// import log and the journal's step that posted them (which names the
// item): rows of steps undone, rows whose item is not known or not named
// now, rows with a line already, and lines that would add up to more than
// their cell are left out. One undo step; the marker file (ImportLinesMark)
// keeps it from running again, also after lines were deleted. Returns the
// lines made.
inline constexpr const char* ImportLinesMark = "ZADUD.IML";
int migrateImportLines(Book& book, const ImportLog& log);

// The line of a statement row: its description as memo (CP932, characters
// the code page lacks as "?", control characters as blanks), its
// fingerprint as source.
EntryLine statementLine(const StatementRow& row);

// The steps of the book's journal that are undone now.
std::set<uint64_t> undoneSteps(const Book& book);

// What the journal knows of imports, added to the log as read: the steps
// undone, and the rows each step posted, so that a row is known as imported
// even when the log is damaged, lost or was never written. Step numbers the
// log names are never given out again.
void learnFromJournal(Book& book, ImportLog& log);
