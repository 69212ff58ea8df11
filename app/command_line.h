#pragma once
// The command line: exports that run without any window. Each reads
// ZADUD.CFG and the data files from the working directory exactly as the
// main window does, and never writes a month, diary or configuration file.

#include "ledger/month_ledger.h"

#include <exception>
#include <string>

class Book;
class QCoreApplication;
class QString;
struct Date;

// True when the arguments ask for something that shows no window (an
// export, --help, --version, or a mistyped option): main then needs no
// display.
bool wantsNoWindow(int argc, char** argv);

// For a start without windows, before the application object: Qt's own
// warnings stay off standard error.
void quietQtMessages();

// Runs what the arguments ask for. Returns the process's exit code, or -1
// when the program should start its windows as usual.
int runCommandLine(QCoreApplication& app);

// ZADUD.CFG of the working directory, read as the main window reads it at
// start-up; a location that is not an existing folder falls back to the
// working directory. Throws AppError as the window would show it.
struct WorkingConfig {
    std::string startDir;  // UTF-8
    std::string ledgerDir; // UTF-8
    std::string diaryDir;  // UTF-8
    MonthLedger ledger;    // names only
};
WorkingConfig readWorkingConfig();

// Throws UsageError naming the folder when an output path's folder is
// missing: an export would otherwise fail with a bare file error.
void checkOutputFolder(const std::string& path);

// Throws UsageError naming `what` ("明細のファイル") and the path when the
// file to read is missing, is not a plain file (/dev/zero, a folder) or is
// larger than `maxBytes` (0: any size).
void checkInputFile(const std::string& path, const char* what, long long maxBytes);

// Prints "<what> を <absolute path> に書き出しました" on standard output: the
// launcher runs the program in the data folder, so a relative name alone
// would not tell the user where to look.
void reportWritten(const std::string& what, const std::string& path);

// Prints the program's error text for `e` on standard error; returns `code`.
int reportFailure(const std::exception& e, int code);

// The day `option` was given ("2026-12-04"); throws UsageError naming the
// option and the text when it is no such day.
Date dateArgument(const char* option, const QString& text);

// The slot (1 to 12) of the item `cp932` in the book's configuration;
// throws UsageError naming the option and the name as typed when no shown
// item has it.
int itemArgument(const Book& book, const std::string& cp932, const char* option,
                 const QString& typed);

// A period named on the command line: "1996" (month 0: the whole year) or
// "1996-12" / "1996-1". False for anything else, or a month outside 1 to 12.
struct Period {
    int year = 0;
    int month = 0;
};
bool parsePeriod(const std::string& text, Period& period);
