#include "app/search_command.h"

#include "app/command_line.h"
#include "ledger/diary_index.h"
#include "ledger/errors.h"
#include "storage/disk_store.h"
#include "windows/diary_search.h"

#include <cerrno>
#include <cstdio>

namespace {

// Message for a query of blanks only; the program's table has none.
constexpr const char* NoWords = "検索する語句を指定してください";

} // namespace

int runSearchCommand(const QString& query) {
    DiskStore disk;
    try {
        const std::string words = query.toStdString();
        if (diaryQueryWords(words, foldForSearch).empty()) throw AppError(NoWords);
        const WorkingConfig cfg = readWorkingConfig();
        bool unreadable = false;
        int found = 0;
        for (const DiaryHit& hit : searchDiary(disk, cfg.diaryDir, words, foldForSearch)) {
            const std::string date = isoDate(hit.entry.date);
            if (!hit.entry.error.empty()) {
                std::fprintf(stderr, "%s\t%s: %s\n", date.c_str(), hit.entry.fileName.c_str(),
                             hit.entry.error.c_str());
                unreadable = true;
                continue;
            }
            const std::string line = date + '\t' + hit.line + '\n';
            std::fwrite(line.data(), 1, line.size(), stdout);
            ++found;
        }
        if (std::fflush(stdout) != 0) throw fileError(EIO, "");
        return unreadable ? 2 : found > 0 ? 0 : 1;
    } catch (const std::exception& e) {
        return reportFailure(e, 2);
    }
}
