#pragma once
// The import log of a book kept on several PCs: each PC writes the statement
// rows it imported into a log of its own, ZADUD-<PC>.IMP, and reads the rows
// of all PCs' logs as imported, so a statement imported on one PC is not
// posted again on the other. The shared ZADUD.IMP of a book from before is
// read as history and no longer written.

#include "ledger/file_store.h"
#include "ledger/statement.h"

#include <string>

// "ZADUD-<PC>.IMP".
std::string pcImportLogName(const std::string& pc);
// The PC of an import log's file name; false for any other name.
bool pcOfImportLogName(const std::string& name, std::string& pc);

// Joins every PC's log in `dir` into `log` (as read from the shared
// ZADUD.IMP): afterwards its bytes are this PC's own log, to append to, and
// its rows those of all logs. Step numbers are this PC's only in its own log
// and, while no other PC shares the book (`alone`), in the shared one; the
// other rows know no step here (the journal's row records give theirs), so
// they count as imported. A log that is there but cannot be read throws its
// file error: importing without it could post rows twice.
void joinPcImportLogs(FileStore& files, const std::string& dir, const std::string& pc, bool alone,
                      ImportLog& log);
