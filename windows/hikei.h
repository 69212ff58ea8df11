#pragma once
// The daily sheet: one day of the month in memory, item by item, with the
// day's totals and the running balance. It steps a day at a time across
// month and year ends, moving the main calendar with it, and opens the
// amount entry dialog for a selected item row.

#include "ledger/errors.h"

#include <QDialog>
#include <QString>
#include <cstdint>

class QAction;
class QFrame;
class QLabel;
class QMenuBar;
class QToolButton;
class SheetLines;
class StringGrid;
class TForm1;
struct BudgetSummary;
struct MonthLedger;
class TForm5;

class TForm2 : public QDialog {
    Q_OBJECT

public:
    explicit TForm2(TForm1* form1);

    // Grid rows: 1..12 the items, then the day's totals and the balance.
    static constexpr int TotalRow = 13;
    static constexpr int BalanceRow = 14;

    // Created after this window; SG1Click opens it.
    void setAmountDialog(TForm5* form5) { form5_ = form5; }

    QMenuBar* MainMenu1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* Undo1 = nullptr;
    QAction* Redo1 = nullptr;
    QFrame* Panel1 = nullptr;
    QToolButton* Next = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* HeldNotice = nullptr; // a held month's file and why, above the grid
    QFrame* Panel2 = nullptr;
    StringGrid* SG1 = nullptr;
    QLabel* BudgetPanel = nullptr; // the month's budgets, shown when there are any
    QLabel* Label2 = nullptr;      // the day's scheduled entries
    SheetLines* Lines = nullptr;   // the day's entry lines (内訳)

    // The date shown.
    int SheetYear = 0;
    int SheetMonth = 0;
    int SheetDay = 0;
    RangeArray<int, 1, 12> MonthDays;

    void FormActivate();
    void TitleDisp();
    // Copies the sheet's date into the main calendar. Mode 0 sets the month
    // before the day, any other mode the day before the month, so that every
    // intermediate date of a step back (0) or forward (1) exists.
    void Form1Set(int mode);
    void NextClick();
    void SpeedButton1Click();
    void SG1Click();
    void SheetStore();
    void Undo1Click();
    void Redo1Click();
    void FormResize();
    void Exit1Click();
    void FormClose();
    // Shows or hides the held month's notice; the grid keeps its rows.
    void showHeldNotice(const QString& notice);

protected:
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void buildUi();
    void fillMonthDays();
    int lastDay(int year, int month) const;
    // Stores the sheet, moves to the new date and, across a month end, saves
    // the month left and loads the month entered.
    void stepTo(int year, int month, int day, int form1SetMode);

    TForm1* form1_;
    TForm5* form5_ = nullptr;
};

// Fills the sheet's grid from the main window's month for the calendar's
// day: names and amounts of the named items, the day's totals of those
// items, and the balance to date of all twelve items with the carry-over.
// Sums are checked; an overflow stops the fill where it happens.
void SheetDisp(TForm1& form1, TForm2& form2);

// Fills the sheet's budget panel: per budgeted item the month's spent and
// "残り" (over budget: "超過" and the amount, in red), and for variable items
// "1日あたり" from the sheet's day to the month's end. Hidden without budgets.
void BudgetDisp(TForm1& form1, TForm2& form2);
// The budget table the sheet and the monthly list show (rich text), for the
// month's named items; the pace column only where asked.
QString budgetTable(const BudgetSummary& summary, const MonthLedger& month, bool withPace);

// The amount a cell shows, as AmountFmt wrote it; an empty cell reads 0.
int32_t cellAmount(const QString& text);
