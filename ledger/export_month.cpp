#include "ledger/export_month.h"

#include "ledger/text_file.h"

void readMonthForExport(FileStore& files, MonthLedger& ledger, const std::string& dir, int year,
                        int month, std::string* failed) {
    for (const LoadMode mode : {LoadMode::Previous, LoadMode::Current}) {
        std::string file;
        try {
            // The load has failed already; reading the file again names the error.
            if (loadMonthFile(files, ledger, dir, year, month, mode, &file) ==
                MonthFileState::Unreadable)
                files.read(file);
        } catch (...) {
            if (failed) *failed = file;
            throw;
        }
    }
}
