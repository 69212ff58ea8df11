#pragma once
// "--csv 1996 out.csv" and "--csv 1996-12 out.csv": the year table or the
// monthly list as CSV, from the working directory's configuration and month
// files, exactly as the windows export them.

#include <string>

// Returns the exit code: 0 when written, 1 when nothing could be written,
// 2 for a malformed period. A year with months left out is written, and
// each such month is named on standard error.
int runCsvExport(const std::string& period, const std::string& outPath);
