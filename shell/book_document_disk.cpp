// The document read again after other programs changed its files.
#include "ledger/backup_store.h"
#include "ledger/errors.h"
#include "ledger/pc_presence.h"
#include "shell/book_document.h"

#include <filesystem>

namespace {

// A file whose change matters to the book: one of its files, except the
// PCs' presence files, which only feed the note on the main window.
bool mattersToBook(const Book& book, const std::string& path) {
    BookFile file;
    if (!classifyBookFile({book.startDir(), book.ledgerDir(), book.diaryDir()}, path, file))
        return false;
    return !isPresenceFileName(std::filesystem::path(path).filename().string());
}

} // namespace

bool BookDocument::filesChangedOnDisk(const std::vector<std::string>& paths) {
    if (!open_) return false;
    bool matters = false;
    for (const std::string& p : paths)
        matters = matters || mattersToBook(book_, p);
    if (!matters) return false;
    if (book_.unsaved()) {
        try {
            save();
        } catch (const Cancelled&) {
            return false;
        }
    }
    reload();
    emit monthEntered();
    emit changedOnDisk();
    return true;
}
