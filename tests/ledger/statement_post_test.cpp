#include "ledger/statement_post.h"
#include "storage/disk_store.h"

#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/report_marks.h"
#include "ledger/text_file.h"
#include "tests/support/file_support.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
std::string fixedStamp() {
    return "2026-12-24T10:00:00";
}
} // namespace

TEST(StatementPost, OneUndoStepHeldMonthsMarkedAndAFailedWriteUndoesEveryRow) {
    TempFolder tmp;
    writeBytes(tmp.file("ZADUD.CFG"), utf8ToCp932("kamo1=食費\r\n"));
    // A folder under a month file's name cannot be read, even by root; the
    // month after each has a file, so later months do not carry from it.
    for (int month : {6, 8})
        std::filesystem::create_directories(tmp.file(monthFileName(2026, month)));
    for (int month : {7, 9})
        writeBytes(tmp.file(monthFileName(2026, month)), "");
    Book book(tmp.path(), disk, fixedStamp);
    const auto yes = [](const std::string&) { return true; };
    book.readConfiguration(yes, yes);
    // The month shown is one of them.
    book.setShown({2026, 8});
    book.loadMonths();
    ASSERT_TRUE(book.held());
    // A change typed before: the import is the step after it.
    book.setAmount({2026, 10}, 1, 6, AmountField::Expense, 1, ChangeSource::Typed);
    ImportSideFiles files = readImportSideFiles(disk, tmp.path());
    files.rules.items[normaliseText("パン屋")] = utf8ToCp932("食費");
    const Statement s = readStatement("日付,摘要,金額\n2026/10/05,パン屋,300\n"
                                      "2026/08/03,パン屋,200\n2026/12/01,パン屋,-100\n"
                                      "2026/06/03,薬局,200\n");
    std::vector<StatementRow> rows = statementRows(s, s.columns);
    matchRows(rows, files.log, files.rules, book.ledger());
    rows[3].item = utf8ToCp932("食費");
    rows[3].ticked = true;
    learnRule(files.rules, rows[3]);
    const MonthKey oct{2026, 10}, dec{2026, 12};

    // A month's write fails: nothing stays posted, no log is left.
    disk.setFaults([&](const std::string& path, const std::string& step) {
        return path.find(monthFileName(2026, 12)) != std::string::npos && step == "rename" ? EIO
                                                                                           : 0;
    });
    std::vector<StatementRow> copy = rows;
    EXPECT_THROW(postStatementRows(book, copy, files), AppError);
    disk.setFaults(nullptr);
    EXPECT_EQ(book.amount(oct, 1, 5, AmountField::Expense), 0);
    EXPECT_FALSE(fileExists(tmp.file(ImportLogFile)));

    // The log's write fails after the step: the rows stay posted, it is
    // said, and the journal still knows them.
    disk.setFaults([&](const std::string& path, const std::string& step) {
        return path.find(ImportLogFile) != std::string::npos && step == "rename" ? EIO : 0;
    });
    EXPECT_EQ(postStatementRows(book, rows, files), 2);
    disk.setFaults(nullptr);
    EXPECT_NE(files.logTrouble.find(ImportLogFile), std::string::npos);
    EXPECT_FALSE(fileExists(tmp.file(ImportLogFile)));
    ImportLog known;
    learnFromJournal(book, known);
    std::vector<StatementRow> again = statementRows(s, s.columns);
    matchRows(again, known, files.rules, book.ledger());
    EXPECT_EQ(again[0].state, RowState::ImportedBefore);
    EXPECT_EQ(again[2].state, RowState::ImportedBefore);
    ASSERT_TRUE(book.undo());
    files.logTrouble.clear();

    EXPECT_EQ(postStatementRows(book, rows, files), 2);
    EXPECT_EQ(book.amount(oct, 1, 5, AmountField::Expense), 300);
    EXPECT_EQ(book.amount(dec, 1, 1, AmountField::Income), 100);
    for (int held : {1, 3}) {
        EXPECT_EQ(rows[held].state, RowState::Problem);
        EXPECT_FALSE(rows[held].ticked);
        EXPECT_NE(rows[held].problem.find(monthFileName(2026, held == 1 ? 8 : 6)),
                  std::string::npos)
            << rows[held].problem;
    }
    const ImportSideFiles written = readImportSideFiles(disk, tmp.path());
    EXPECT_EQ(written.log.fingerprints.size(), 2u);
    EXPECT_EQ(files.log.fingerprints.size(), 2u);
    EXPECT_EQ(written.rules.items, files.rules.items);

    // Undone as one step: the rows count as new again.
    ASSERT_TRUE(book.undo());
    EXPECT_EQ(book.amount(oct, 1, 5, AmountField::Expense), 0);
    EXPECT_EQ(book.amount(dec, 1, 1, AmountField::Income), 0);
    ImportLog log = readImportSideFiles(disk, tmp.path()).log;
    matchRows(rows, log, files.rules, book.ledger());
    EXPECT_EQ(rows[0].state, RowState::ImportedBefore);
    log.undone = undoneSteps(book);
    matchRows(rows, log, files.rules, book.ledger());
    EXPECT_EQ(rows[0].state, RowState::New);
    EXPECT_TRUE(rows[0].ticked);
}

TEST(StatementPost, RowsBecomeLinesAndRowsOfOlderImportsGetTheirsOnce) {
    TempFolder tmp;
    writeBytes(tmp.file("ZADUD.CFG"), utf8ToCp932("kamo1=食費\r\nkamo2=日用品\r\n"));
    const auto yes = [](const std::string&) { return true; };
    auto open = [&] {
        auto b = std::make_unique<Book>(tmp.path(), disk, fixedStamp);
        b->readConfiguration(yes, yes);
        return b;
    };
    std::unique_ptr<Book> book = open();
    ImportSideFiles files = readImportSideFiles(disk, tmp.path());
    files.rules.items[normaliseText("パン屋")] = utf8ToCp932("食費");
    // Two items on November 7 (expenses) cannot be told apart later; the
    // refund that day (income) can.
    const Statement s = readStatement("日付,摘要,金額\n2026/11/05,パン屋,300\n"
                                      "2026/11/05,パン屋,300\n2026/12/01,\"薬局 ①\x01\",1000\n"
                                      "2026/11/07,薬局,200\n2026/11/07,パン屋2,150\n"
                                      "2026/11/07,返品,-50\n");
    std::vector<StatementRow> rows = statementRows(s, s.columns);
    matchRows(rows, files.log, files.rules, book->ledger());
    for (const auto [row, item] :
         {std::pair{2, "日用品"}, {3, "日用品"}, {4, "食費"}, {5, "食費"}}) {
        rows[row].item = utf8ToCp932(item);
        rows[row].ticked = true;
    }
    ASSERT_EQ(postStatementRows(*book, rows, files), 6);
    const MonthKey nov{2026, 11}, dec{2026, 12};
    ASSERT_EQ(book->lines(nov).size(), 5u);
    EXPECT_EQ(book->lines(nov)[1].memo, utf8ToCp932("パン屋"));
    EXPECT_EQ(book->lines(nov)[1].origin, LineOrigin::Imported);
    EXPECT_EQ(book->lines(nov)[1].source, utf8ToCp932(rows[1].fingerprint()));
    EXPECT_EQ(book->lines(dec)[0].memo, utf8ToCp932("薬局 ① ")) << "a control character a blank";
    EXPECT_EQ(book->amount(nov, 1, 5, AmountField::Expense), 600);
    EXPECT_EQ(book->undoText(), "取込 6件");

    // As an older version left it: amounts, log and journal, no lines; one
    // cell lowered by hand since.
    for (const char* name : {"202611.lin", "202612.lin", ImportLinesMark})
        std::filesystem::remove(tmp.file(name));
    book->setAmount(dec, 2, 1, AmountField::Expense, 500, ChangeSource::Typed);
    book = open();
    files = readImportSideFiles(disk, tmp.path());
    learnFromJournal(*book, files.log);
    EXPECT_EQ(migrateImportLines(*book, files.log), 3)
        << "not over the lowered cell, not where the item is not known";
    ASSERT_EQ(book->lines(nov).size(), 3u);
    EXPECT_EQ(book->lines(nov)[2].side, LineSide::Income);
    EXPECT_EQ(book->lines(nov)[2].item, utf8ToCp932("食費"));
    EXPECT_TRUE(book->lines(dec).empty());
    EXPECT_EQ(book->amount(nov, 1, 5, AmountField::Expense), 600) << "cells stay";
    // Once: lines deleted since do not come back.
    book->removeLine(nov, 0);
    EXPECT_EQ(migrateImportLines(*book, files.log), 0);
    EXPECT_EQ(book->lines(nov).size(), 2u);
}

TEST(StatementPost, RowsAScheduledPostingSeemsToHaveEnteredAreUnticked) {
    Schedule schedule;
    PostingRecord posted;
    posted.date = {2026, 12, 25};
    posted.expense = false;
    posted.amount = 250000;
    posted.item = utf8ToCp932("給与");
    schedule.records.push_back(posted);
    posted.state = PostingState::Pending; // not entered yet
    posted.date = {2026, 11, 25};
    schedule.records.push_back(posted);
    const struct {
        const char* date;
        const char* amount;
        const char* item;
        bool scheduled;
    } cases[] = {
        {"2026/12/25", "-250000", "給与", true},  {"2026/12/22", "-250000", "給与", true},
        {"2026/12/28", "-250000", "給与", true},  {"2026/12/21", "-250000", "給与", false},
        {"2026/12/29", "-250000", "給与", false}, {"2026/12/25", "-250001", "給与", false},
        {"2026/12/25", "250000", "給与", false},  {"2026/12/25", "-250000", "食費", false},
        {"2026/11/25", "-250000", "給与", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.date + std::string(" ") + c.amount + " " + c.item);
        // Deposits and withdrawals apart: "-250000" is a deposit of 250,000.
        const std::string amount = c.amount;
        const std::string sides = amount[0] == '-' ? amount.substr(1) + "," : "," + amount;
        const Statement s =
            readStatement(std::string("日付,摘要,入金,出金\n") + c.date + ",会社," + sides + "\n");
        std::vector<StatementRow> rows = statementRows(s, s.columns);
        ASSERT_EQ(rows.size(), 1u);
        rows[0].item = utf8ToCp932(c.item);
        rows[0].ticked = true;
        markScheduledRows(rows, schedule);
        EXPECT_EQ(rows[0].scheduled, c.scheduled);
        EXPECT_EQ(rows[0].ticked, !c.scheduled);
    }
}

TEST(StatementPost, APayoffRowIsPostedAsATransferLine) {
    for (const bool transfer : {false, true}) {
        SCOPED_TRACE(transfer);
        StatementRow row;
        row.year = 2026;
        row.month = 12;
        row.day = 27;
        row.description = "ｶｰﾄﾞ引落";
        row.item = utf8ToCp932("食費");
        row.amount = 30000;
        row.transfer = transfer;
        const EntryLine line = statementLine(row);
        EXPECT_EQ(lineMark(line), transfer ? ReportMark::Transfer : ReportMark::None);
        EXPECT_EQ(line.memo, utf8ToCp932(transfer ? "ｶｰﾄﾞ引落 #振替" : "ｶｰﾄﾞ引落"));
        EXPECT_EQ(line.amount, 30000);
    }
}
