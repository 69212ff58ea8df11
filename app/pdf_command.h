#pragma once
// zadud --pdf 1996-12 out.pdf: the month's printout as a PDF file.

#include <QString>
#include <QStringList>

// `month` is "YYYY-MM"; `files` are the positional arguments, the first one
// the PDF to write. Returns the exit code; an error is printed on standard
// error and nothing is written.
int runPdfCommand(const QString& month, const QStringList& files, bool withDiary);
