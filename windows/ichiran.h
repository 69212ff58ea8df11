#pragma once
// The monthly list: the month in memory as one read-only table, the twelve
// items down the side and the days 1 to 31 across, each cell the item's net
// amount of the day, then each day's net total and the running balance.

#include <QDialog>
#include <QString>
#include <QTableView>
#include <functional>
#include <vector>

class QAction;
struct PeriodSheet;
class QFrame;
class QMenu;
class QLabel;
class QMenuBar;
class TForm1;
class ListGridModel;

// Text cells addressed as (column, row) from 0. Row 0 and column 0 are the
// fixed headers: the day columns scroll sideways under the name column.
class ListGrid : public QTableView {
    Q_OBJECT

public:
    ListGrid(int colCount, int rowCount, QWidget* parent = nullptr);

    int ColCount() const { return cols_; }
    int RowCount() const { return rows_; }
    // Outside the grid a cell reads as empty and a write is ignored.
    QString cell(int col, int row) const;
    void setCell(int col, int row, const QString& text);
    // Tells the view that cells were written since the last refresh.
    void refresh();
    // Another number of columns (a period's days), all cells emptied; the
    // same number keeps the cells.
    void setColCount(int cols);
    // A cell's tooltip (column, row as the cells), empty for none.
    std::function<QString(int col, int row)> tipSource;

private:
    int cols_;
    int rows_;
    std::vector<QString> cells_;
    ListGridModel* model_;
};

class TForm7 : public QDialog {
    Q_OBJECT

public:
    explicit TForm7(TForm1* form1);

    static constexpr int DayTotalRow = 13;
    static constexpr int BalanceRow = 14;

    QMenuBar* MainMenu1 = nullptr;
    QMenu* File1 = nullptr;
    QAction* Print1 = nullptr; // the main window's printout commands
    QAction* Pdf1 = nullptr;
    QAction* CsvExport = nullptr;
    QAction* Exit1 = nullptr;
    QFrame* Panel1 = nullptr;
    ListGrid* SG1 = nullptr;
    QLabel* BudgetPanel = nullptr; // the month's budgets, shown when there are any
    QLabel* HeldNotice = nullptr;  // a held month's file and why, shown instead of its figures

    void FormActivate();
    void Exit1Click();
    // "CSV出力...": the month in memory, items by days.
    void CsvExportClick();
    // Where the CSV goes; the default asks with a file dialog, an empty
    // answer cancels. Tests answer it.
    void setSavePathAsker(std::function<QString(const QString& suggested)> ask);

protected:
    void showEvent(QShowEvent* e) override;

private:
    // The shown period when it is not a calendar month: a column per day.
    void showPeriod(const PeriodSheet& sheet);

    TForm1* form1_;
    std::function<QString(const QString&)> askPath_;
};
