#pragma once
// Posting a statement's ticked rows through the book's one door.

#include "ledger/book.h"
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
int postStatementRows(Book& book, std::vector<StatementRow>& rows, ImportSideFiles& files);

// The steps of the book's journal that are undone now.
std::set<uint64_t> undoneSteps(const Book& book);

// What the journal knows of imports, added to the log as read: the steps
// undone, and the rows each step posted, so that a row is known as imported
// even when the log is damaged, lost or was never written. Step numbers the
// log names are never given out again.
void learnFromJournal(Book& book, ImportLog& log);
