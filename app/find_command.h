#pragma once
// zadud --find "query": the entry lines (内訳) of every month that meet the
// query, newest first, one "YYYY-MM-DD<TAB>ITEM<TAB>AMOUNT<TAB>MEMO" each in
// UTF-8 on standard output; an expense's amount is negative, as --import
// prints it.

#include <QString>

// Exit code 0 when something matched, 1 when nothing did, 2 on an error (its
// text on standard error); a line file that could not be read, or only in
// part, is an error too, reported after the lines that were found.
int runFindCommand(const QString& query);
