// The document beneath the windows: one signal per step, the undo commands
// following the journal across restarts, questions through the one seam.
#include "ledger/text_file.h"
#include "shell/application.h"
#include "shell/book_document.h"
#include "shell/error_box.h"
#include "tests/support/test_support.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTranslator>
#include <gtest/gtest.h>
#include <memory>

namespace {

class BookDocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        ErrorBox::setRecorder([this](const QString& text) { errors << text; });
        Modal::setRunner([](QDialog* d) {
            ADD_FAILURE() << "unexpected question: " << d->objectName().toStdString();
        });
        writeBytes(dir.file("ZADUD.CFG"), "ZADUD=" + dir.path() + "\r\nkamo1=A\r\nkamo2=B\r\n");
        restart();
    }
    void TearDown() override {
        Modal::setRunner(nullptr);
        ErrorBox::setRecorder(nullptr);
    }
    // The program started again on the same folder, on 1996-12-05.
    void restart() {
        if (doc) doc->save();
        doc.reset();
        doc = std::make_unique<BookDocument>(dir.path());
        doc->showDate(QDate(1996, 12, 5));
        doc->open();
    }
    void type(MonthKey month, int item, int32_t value) {
        doc->book().setAmount(month, item, 5, AmountField::Expense, value, ChangeSource::Typed);
    }
    QString state() const {
        return QStringLiteral("%1 %2 | %3 %4")
            .arg(doc->undoAction()->isEnabled() ? "on" : "off", doc->undoAction()->text())
            .arg(doc->redoAction()->isEnabled() ? "on" : "off", doc->redoAction()->text());
    }

    TempDir dir;
    std::unique_ptr<BookDocument> doc;
    QStringList errors;
    const MonthKey december{1996, 12}, november{1996, 11};
};

// Each step says once that the amounts changed, whatever it touches: the
// month in memory, another month, or several records at once.
TEST_F(BookDocumentTest, EachStepSignalsAmountsChangedOnce) {
    type(december, 1, 100);
    const uint64_t first = doc->book().journal().undoable().back();
    type(november, 2, 200);
    {
        Book::ChangeGroup group(doc->book(), ChangeSource::Imported, "three");
        type(december, 1, 300);
        type(december, 2, 400);
        type(november, 1, 500);
        group.commit();
    }
    QSignalSpy spy(doc.get(), &BookDocument::amountsChanged);
    const std::vector<std::pair<const char*, std::function<void()>>> steps = {
        {"undo the group", [&] { doc->undo(); }},
        {"undo another month's change", [&] { doc->undo(); }},
        {"redo it", [&] { doc->redo(); }},
        {"undo from the undo command", [&] { doc->undoAction()->trigger(); }},
        {"redo from the redo command", [&] { doc->redoAction()->trigger(); }},
        {"back to the first step", [&] { doc->undoBackTo(first); }},
    };
    for (const auto& [what, step] : steps) {
        SCOPED_TRACE(what);
        spy.clear();
        step();
        EXPECT_EQ(spy.count(), 1);
    }
    EXPECT_EQ(doc->ledger().Items[1].Days[5].Expense, 100);
    EXPECT_EQ(doc->ledger().Items[2].Days[5].Expense, 0);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

// The undo commands are enabled only with a step to take, name it, and say
// the same after a restart; an empty journal leaves both off.
TEST_F(BookDocumentTest, UndoCommandsFollowTheJournalAcrossRestarts) {
    const QString none = QStringLiteral("off 元に戻す | off やり直し");
    EXPECT_EQ(state(), none);
    restart();
    EXPECT_EQ(state(), none) << "after a restart with nothing done";
    QSignalSpy spy(doc.get(), &BookDocument::undoStateChanged);

    type(december, 1, 3480);
    const QString typed = QStringLiteral("on 元に戻す: 12/5 A 支出 3,480 | off やり直し");
    EXPECT_EQ(state(), typed);
    EXPECT_EQ(spy.count(), 1);
    restart();
    EXPECT_EQ(state(), typed);

    doc->undo();
    const QString undone = QStringLiteral("off 元に戻す | on やり直し: 12/5 A 支出 3,480");
    EXPECT_EQ(state(), undone);
    restart();
    EXPECT_EQ(state(), undone);
    doc->redo();
    EXPECT_EQ(state(), typed);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

// Moving saves the month left and loads the one entered: the date changes,
// the month is entered once, and a refused date leaves everything as it was.
TEST_F(BookDocumentTest, MovesSaveLoadAndRefuseAnImpossibleDate) {
    QSignalSpy entered(doc.get(), &BookDocument::monthEntered);
    doc->ledger().Items[1].Days[5].Expense = 7;
    doc->stepMonth(1);
    EXPECT_EQ(doc->date(), QDate(1997, 1, 1));
    EXPECT_EQ(entered.count(), 1);
    EXPECT_EQ(doc->ledger().Items[1].Days[5].Expense, 0);
    doc->stepDay(-1);
    EXPECT_EQ(doc->date(), QDate(1996, 12, 31));
    EXPECT_EQ(doc->ledger().Items[1].Days[5].Expense, 7) << "saved when left";
    doc->goToDate(1996, 12, 3);
    EXPECT_EQ(entered.count(), 2) << "a day of the same month enters nothing";
    EXPECT_THROW(doc->goToDate(10000, 1, 1), AppError);
    EXPECT_EQ(doc->date(), QDate(1996, 12, 3));
    EXPECT_EQ(doc->ledger().Items[1].Days[5].Expense, 7);
}

// A value changed since the step is asked about through the seam; "no"
// leaves it, "yes" replaces it.
TEST_F(BookDocumentTest, AnUndoOverALaterChangeAsksFirst) {
    type(december, 1, 100);
    doc->ledger().Items[1].Days[5].Expense = 50; // by hand, outside the door
    for (const int answer : {int(QMessageBox::No), int(QMessageBox::Yes)}) {
        QString asked;
        Modal::setRunner([&](QDialog* d) {
            asked = d->objectName();
            qobject_cast<QMessageBox*>(d)->done(answer);
        });
        EXPECT_EQ(doc->undo(), answer == QMessageBox::Yes);
        EXPECT_EQ(asked, QStringLiteral("UndoConflict"));
        EXPECT_EQ(doc->ledger().Items[1].Days[5].Expense, answer == QMessageBox::Yes ? 0 : 50);
    }
}

// At a logout or a kill nobody can answer: the save at the end writes what was
// typed over a month file changed underneath, without a question.
TEST_F(BookDocumentTest, TheSaveAtTheEndAsksNothingAndKeepsTheTyping) {
    type(december, 1, 100);
    doc->save();
    writeBytes(dir.file(monthFileName(1996, 12)), "changed elsewhere\r\n");
    type(december, 2, 70);
    doc->saveAtEnd();
    restart();
    EXPECT_EQ(doc->ledger().Items[1].Days[5].Expense, 100);
    EXPECT_EQ(doc->ledger().Items[2].Days[5].Expense, 70);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

// Another ledger folder from the settings brings its own budget and journal.
TEST_F(BookDocumentTest, AnotherLedgerFolderBringsItsBudgetAndJournal) {
    type(december, 1, 100);
    const std::string other = dir.file("other");
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(other)));
    writeBytes(other + "/" + BudgetFileName, "ZADUD-BUDGET,1\r\n1996-12,A,1000,V,0\r\n");
    ASSERT_TRUE(doc->undoAction()->isEnabled());
    doc->book().setLedgerDir(other);
    doc->configurationWritten();
    EXPECT_EQ(state(), QStringLiteral("off 元に戻す | off やり直し"));
    ASSERT_TRUE(doc->budget().plan.at("A", 1996, 12));
    EXPECT_EQ(doc->budget().plan.at("A", 1996, 12)->amount, 1000);
}

// Every question goes through Modal::exec, where tests answer it; Qt's own
// buttons speak Japanese once its translation is installed.
TEST(QuestionSeam, AnsweredThroughTheModalRunnerInJapanese) {
    QTranslator translator;
    ASSERT_TRUE(installQtTranslation(translator));
    QString yes;
    int answer = QMessageBox::Yes;
    Modal::setRunner([&](QDialog* d) {
        auto* box = qobject_cast<QMessageBox*>(d);
        ASSERT_TRUE(box);
        EXPECT_EQ(box->objectName(), QStringLiteral("Asked"));
        EXPECT_EQ(box->windowTitle(), ErrorBox::AppTitle);
        yes = box->button(QMessageBox::Yes)->text();
        if (answer) box->done(answer);
    });
    EXPECT_EQ(Modal::ask(QStringLiteral("?"), QStringLiteral("Asked")), QMessageBox::Yes);
    EXPECT_TRUE(yes.contains(QStringLiteral("はい"))) << yes.toStdString();
    answer = QMessageBox::No;
    EXPECT_EQ(Modal::ask(QStringLiteral("?"), QStringLiteral("Asked")), QMessageBox::No);
    answer = 0; // closed without an answer
    EXPECT_EQ(Modal::ask(QStringLiteral("?"), QStringLiteral("Asked")), QMessageBox::NoButton);
    Modal::setRunner(nullptr);
    QCoreApplication::removeTranslator(&translator);
}

} // namespace
