#pragma once
// "--backup FILE.zip" writes the whole account book of the working directory
// into one zip archive; "--restore FILE.zip" puts its files back, and
// replaces a file that differs only with "--force". Both print what they do.

#include <string>

// 0 when written, 2 on an error.
int runBackupCommand(const std::string& zipPath);
// 0 when restored, 1 when files would be replaced without --force (nothing
// is written then), 2 on an error.
int runRestoreCommand(const std::string& zipPath, bool force);
