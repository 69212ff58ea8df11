#pragma once
// zadud --search "words": the diary days holding every word, newest first,
// one "1998-01-15<TAB>matching line" each in UTF-8 on standard output.

#include <QString>

// Exit code 0 when something matched, 1 when nothing did, 2 on an error (its
// text on standard error); an entry that could not be read is an error too,
// reported after the days that were found.
int runSearchCommand(const QString& query);
