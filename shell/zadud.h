#pragma once
// The main window: the month calendar, month navigation, and the owner of
// the shared state (the month in memory and the three directories). Every
// other window is reached through it and shown modally from it.

#include "ledger/book.h"
#include "ledger/month_ledger.h"
#include "shell/save_check.h"

#include <QMainWindow>
#include <QString>
#include <functional>
#include <string>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QToolButton;
class TCalendar;
class QDialog;

// One of the book's folders under the name the other windows know it by:
// reads and assignments go to the book.
class BookFolder {
public:
    using Get = const std::string& (Book::*)() const;
    using Set = void (Book::*)(std::string);
    BookFolder(Book& book, Get get, Set set) : book_(book), get_(get), set_(set) {}
    BookFolder(const BookFolder&) = delete;
    BookFolder& operator=(const QString& path) {
        (book_.*set_)(path.toStdString());
        return *this;
    }
    operator QString() const { return QString::fromStdString((book_.*get_)()); }
    std::string toStdString() const { return (book_.*get_)(); }
    bool isEmpty() const { return (book_.*get_)().empty(); }
    bool operator==(const QString& o) const { return QString(*this) == o; }
    bool operator!=(const QString& o) const { return !(*this == o); }

private:
    Book& book_;
    Get get_;
    Set set_;
};

class TForm1 : public QMainWindow {
    Q_OBJECT

    Book book_;

public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The month's state; the names below are views of it.
    Book& book() { return book_; }
    const Book& book() const { return book_; }

    // Shared state, read and written by the other windows.
    BookFolder StartDir{book_, &Book::startDir, &Book::setStartDir};
    BookFolder LedgerDir{book_, &Book::ledgerDir, &Book::setLedgerDir};
    BookFolder DiaryDir{book_, &Book::diaryDir, &Book::setDiaryDir};
    MonthLedger& Ledger = book_.ledger();

    // Controls.
    QFrame* Panel2 = nullptr; // toolbar
    QFrame* Panel1 = nullptr; // holds the calendar
    QToolButton* Next = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QToolButton* SpeedButton4 = nullptr;
    QToolButton* SpeedButton5 = nullptr;
    QToolButton* SpeedButton6 = nullptr; // the year overview
    QLabel* nen = nullptr;
    TCalendar* mc = nullptr;
    QMenu* Exit1 = nullptr;
    QMenu* Edit1 = nullptr;
    QAction* Undo1 = nullptr;
    QAction* Redo1 = nullptr;
    QAction* History1 = nullptr;
    QMenu* K1 = nullptr;
    QMenu* HELP1 = nullptr;
    QAction* Exit2 = nullptr;
    QAction* Exit3 = nullptr;
    QAction* Exit5 = nullptr; // the year overview
    QAction* DiarySearch1 = nullptr;
    QAction* Print1 = nullptr;
    QAction* Pdf1 = nullptr;
    QAction* Exit4 = nullptr;
    QAction* K2 = nullptr;
    QAction* K3 = nullptr;
    QAction* About1 = nullptr;

    // The other windows, created after this one at start-up. Each entry stays
    // disabled until its window is attached.
    void setDailySheet(QDialog* form2);
    void setDiary(QDialog* form3);
    void setSettings(QDialog* form4);
    void setVersion(QDialog* form6);
    void setMonthlyList(QDialog* form7);
    void setYearOverview(QDialog* overview);
    void setDiarySearch(QDialog* search);
    void setChangeHistory(QDialog* history);
    // Called before the daily sheet is shown: fills it for the calendar's date.
    void setSheetFiller(std::function<void()> fill);
    // The start-up location checks run on the settings dialog's directory
    // lists; without them every configured location counts as enterable.
    void setLocationChecks(std::function<bool(const QString&)> ledger,
                           std::function<bool(const QString&)> diary);
    // The printout's two commands, "印刷..." and "PDF出力...".
    void setPrintHandlers(std::function<void()> print, std::function<void()> pdf);
    // Called by K3Click with the help file name.
    void setHelpHandler(std::function<void(const QString& helpFile)> help);

    QString helpFile() const { return helpFile_; }
    void setHelpFile(const QString& file) { helpFile_ = file; }

    // Operations used across windows.
    void MonthDisp();
    void MonthSave();
    void MonthLoad(int mode);
    // Previous-month mode, then current-month mode. The current month is read
    // even when the previous month's file fails, so the days shown are always
    // the calendar's month; the first error is rethrown afterwards.
    void LoadMonths();
    void CfgRead();
    // Moves the calendar to a day. Entering another month saves the month
    // left and loads the one entered, as the month buttons do; on a refused
    // date the calendar stays where it was.
    void goToDate(int year, int month, int day);

    // A held month is shown but can be neither changed nor saved, since
    // saving it would write over a file with partial, zero or wrong values:
    // its file failed to read, the previous month's file that gives its
    // carry-over failed to read, its totals do not fit in 32 bits, or it was
    // never read with the configuration in place (before the start-up read,
    // or after that read failed). The next clean load of a month lifts it.
    using Hold = Book::Hold;
    Hold monthHold() const { return book_.hold(); }
    bool monthHeld() const { return monthHold() != Hold::None; }
    // The file behind the hold: the configuration file or a month file.
    QString heldFile() const;
    // The error box's text for a change refused by the hold.
    QString heldMessage() const;
    // Throws heldMessage() when the month is held.
    void refuseIfHeld() const;
    bool monthSavable() const { return !monthHeld(); }
    // True until a month has been read with the configuration in place:
    // after a failed configuration read at start-up the item names are
    // missing, so a month read then matches none of its lines and saving it
    // would empty its file.
    bool monthNeverLoaded() const { return book_.neverLoaded(); }
    // The settings dialog has written the configuration and copied it in.
    // Lines of the month kept for names it no longer had go back to an item
    // named so again.
    void configurationWritten();

    // Undo and redo of the last step, from any window; the month in memory
    // is redrawn where it changed. Values changed since are asked about.
    void undoStep();
    void redoStep();
    void undoBackTo(uint64_t group);
    // Names the steps in an undo and a redo command ("元に戻す: 12/24 食費
    // 支出 3,480") as they stand now.
    void nameUndoCommands(QAction* undo, QAction* redo) const;

    // The windows the others open through the main window.
    void showDailySheet() { openDailySheet(); }
    void showDiary();
    void showMonthlyList();

    // Handlers.
    void FormActivate();
    void FormResize();
    void NextClick();
    void SpeedButton1Click();
    void mcDblClick();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void SpeedButton5Click();
    void SpeedButton6Click();
    void Exit2Click();
    void Exit3Click();
    void Exit5Click();
    void DiarySearch1Click();
    void Exit4Click();
    void Print1Click();
    void Pdf1Click();
    void K2Click();
    void K3Click();
    void About1Click();

    std::string ledgerDirBytes() const;
    // The calendar's month, the one in memory.
    MonthKey shownMonth() const;

signals:
    // Amounts of the month in memory changed other than by typing (an undo,
    // a posting, a repair).
    void amountsChanged();

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void buildUi();
    void stepMonth(int delta);
    void openDailySheet();
    void runActivationOnce();

    QDialog* form2_ = nullptr;
    QDialog* form3_ = nullptr;
    QDialog* form4_ = nullptr;
    QDialog* form6_ = nullptr;
    QDialog* form7_ = nullptr;
    QDialog* yearOverview_ = nullptr;
    QDialog* diarySearch_ = nullptr;
    QDialog* history_ = nullptr;
    std::function<void()> sheetFiller_;
    std::function<bool(const QString&)> checkLedger_;
    std::function<bool(const QString&)> checkDiary_;
    std::function<void(const QString&)> helpHandler_;
    std::function<void()> printHandler_;
    std::function<void()> pdfHandler_;
    QString helpFile_;
    bool activated_ = false;
};
