// Marks of whole cells (集計対象外, 振替) as changes of the book: each is a
// step of the change journal that replaces ZADUD.MRK, so undo and redo reach
// it like any other change.
#include "ledger/book.h"
#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/report_marks.h"

#include <cerrno>

void Book::setCellMark(const MarkedCell& cell, ReportMark mark, ChangeSource source) {
    if (!group_) {
        ChangeGroup g(*this, source);
        setCellMark(cell, mark, source);
        g.commit();
        return;
    }
    const MarkFile file = readMarkFile(files_, ledgerDir_);
    // What could not be read is not written over.
    if (file.damaged) throw AppError(file.error);
    MarkSet marks = file.marks;
    marks.set(cell, mark);
    if (marks == file.marks) return;
    std::string old;
    const int err = files_.tryRead(file.path, old);
    if (err && err != ENOENT) throw fileError(err, file.path);
    JournalRecord r;
    r.kind = JournalRecord::Kind::File;
    r.month = {0, 0};
    r.day = MarkFileRecord;
    // What the history and the undo menu say of the step.
    r.item = std::to_string(cell.month.month) + "/" + std::to_string(cell.day) + " " + cell.item +
             " " + utf8ToCp932(mark == ReportMark::None ? "印なし" : markName(mark));
    r.oldText = old;
    r.newText = formatMarkFile(marks);
    replaceFile(r, false, source);
}
