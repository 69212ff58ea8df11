// Marks of whole cells are changes of the book: undone and redone as steps,
// and renamed with their items.
#include "ledger/book.h"
#include "ledger/config_file.h"
#include "ledger/cp932.h"
#include "ledger/report_marks.h"
#include "storage/disk_store.h"
#include "tests/ledger/book_start.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

namespace {
DiskStore disk;
}

TEST(BookMarks, AMarkIsAStepThatUndoRedoAndRenamesReach) {
    TempFolder dir;
    const std::string card = utf8ToCp932("カード"), bank = utf8ToCp932("銀行");
    writeBytes(dir.file("ZADUD.CFG"), "kamo1=" + card + "\r\n");
    auto book = startBook(disk, dir.path(), {2026, 12}, [](const std::string&) { return true; });
    const MarkedCell payoff{{2026, 12}, 27, LineSide::Expense, card};
    const std::string path = dir.file(MarkFileName);

    struct Step {
        const char* what;
        std::function<void()> run;
        ReportMark mark;
        bool file; // with marks; undoing the first one leaves it empty
        std::string undoText;
    } steps[] = {
        {"marked", [&] { book->setCellMark(payoff, ReportMark::Transfer); }, ReportMark::Transfer,
         true, "ZADUD.MRK 12/27 カード 振替"},
        {"marked again the same: no step", [&] { book->setCellMark(payoff, ReportMark::Transfer); },
         ReportMark::Transfer, true, "ZADUD.MRK 12/27 カード 振替"},
        {"left out instead", [&] { book->setCellMark(payoff, ReportMark::Excluded); },
         ReportMark::Excluded, true, "ZADUD.MRK 12/27 カード 集計対象外"},
        {"undone", [&] { ASSERT_TRUE(book->undo()); }, ReportMark::Transfer, true,
         "ZADUD.MRK 12/27 カード 振替"},
        {"undone to an empty file", [&] { ASSERT_TRUE(book->undo()); }, ReportMark::None, false,
         ""},
        {"redone", [&] { ASSERT_TRUE(book->redo()); }, ReportMark::Transfer, true,
         "ZADUD.MRK 12/27 カード 振替"},
        {"taken away", [&] { book->setCellMark(payoff, ReportMark::None); }, ReportMark::None, true,
         "ZADUD.MRK 12/27 カード 印なし"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.run();
        EXPECT_EQ(readMarkFile(disk, dir.path()).marks.at(payoff), s.mark);
        EXPECT_EQ(!readBytes(path).empty(), s.file);
        EXPECT_FALSE(readMarkFile(disk, dir.path()).damaged);
        EXPECT_EQ(book->undoText(), s.undoText);
    }

    // A rename takes the marks along, in the rename's step.
    book->setCellMark(payoff, ReportMark::Transfer);
    const std::array<std::string, ShownItems> names{bank};
    ConfigValues values;
    values.ledgerDir = values.diaryDir = dir.path();
    values.names = names;
    book->renameItems(book->planRename(names), formatConfig(values));
    MarkedCell renamed = payoff;
    renamed.item = bank;
    EXPECT_EQ(readMarkFile(disk, dir.path()).marks.at(renamed), ReportMark::Transfer);
    EXPECT_EQ(readMarkFile(disk, dir.path()).marks.at(payoff), ReportMark::None);
    ASSERT_TRUE(book->undo());
    EXPECT_EQ(readMarkFile(disk, dir.path()).marks.at(payoff), ReportMark::Transfer);

    // A file that could not be read is never written over.
    writeBytes(path, "damaged\r\n");
    EXPECT_THROW(book->setCellMark(payoff, ReportMark::Excluded), AppError);
    EXPECT_EQ(readBytes(path), "damaged\r\n");
}
