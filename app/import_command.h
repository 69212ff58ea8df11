#pragma once
// zadud --import FILE [--profile NAME] [--default-item NAME] [--dry-run]:
// a card or bank statement posted with the saved rules and profiles, as the
// preview would post it with every proposal accepted.

#include <string>

struct ImportOptions {
    std::string file;        // UTF-8 path, relative to the working directory
    std::string profile;     // UTF-8; empty: picked by the file's shape
    std::string defaultItem; // UTF-8; rows no rule places go there
    bool dryRun = false;
};

// Prints one line per row (date, item or "?", amount with expenses negative,
// "new" / "imported before" / "skipped" and the reason); returns 0, or 2 on
// an error, when nothing is posted.
int runImportCommand(const ImportOptions& options);
