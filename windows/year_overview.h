#pragma once
// The year overview: a year of the account book read from the month files,
// the items' nets by month with the months' income, expense, net and closing
// balance, and charts of the expenses and the balance. It writes a month
// file only through "繰越を再計算", which rewrites stale balances brought in.

#include "ledger/budget_plan.h"
#include "ledger/year_model.h"

#include <QDialog>
#include <QString>
#include <functional>

class QAction;
class QLabel;
class QTableWidget;
class QToolButton;
class BookDocument;
class CommandHost;

class YearOverview : public QDialog {
    Q_OBJECT

public:
    explicit YearOverview(CommandHost* host);

    int year() const { return year_; }
    const YearModel& model() const { return model_; }

    void showCalendarYear();
    void showYear(int year);
    void showPreviousYear();
    void showNextYear();
    // Moves the main window to the month and opens the monthly list.
    void monthDoubleClicked(int month);
    void exportCsv();
    // "繰越を再計算": rewrites the year's stale balances brought in.
    void recalculateBalances();

    // Where "CSV出力..." writes; the default asks with a file dialog, an
    // empty answer cancels. Tests answer it.
    void setSavePathAsker(std::function<QString(const QString& suggested)> ask);

protected:
    void showEvent(QShowEvent* e) override;

private:
    void fill();
    void showWholeTable();
    void buildCharts();
    void fillCharts();
    int columnMonth(int column) const;
    // The main window's month, when it may be saved.
    HeldMonth heldMonth() const;

    QAction* csvExportAction_ = nullptr;
    QAction* recalculateAction_ = nullptr;
    QAction* exitAction_ = nullptr;
    QToolButton* previousYearButton_ = nullptr;
    QToolButton* nextYearButton_ = nullptr;
    QLabel* yearLabel_ = nullptr;
    QTableWidget* table_ = nullptr;
    // Chart views, null until a year is shown.
    QWidget* expenseChart_ = nullptr;
    QWidget* balanceChart_ = nullptr;
    CommandHost* host_;
    BookDocument* doc_;
    QWidget* chartPane_ = nullptr;
    int year_ = 0;
    YearModel model_;
    YearBudget budget_; // with any budget, rows of budget, spent and remaining follow
    std::function<QString(const QString&)> askPath_;
};
