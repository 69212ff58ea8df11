#pragma once
// "分析": where the money of a period (or a run of periods) went. Spending by
// item as a donut with the list of every item beside it, each compared with
// the period before, the same period a year before and the usual; the days
// and lines behind an item; the month so far against the three periods
// before; the savings rate. Amounts marked 集計対象外 or 振替 are left out
// (ledger/report_figures.h). The window only reads: Enter on a day opens
// its daily sheet, where amounts are changed.

#include "ledger/report_figures.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class CommandHost;
class BookDocument;
class QLabel;
class QSpinBox;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;
struct LateParts;

class ReportWindow : public QDialog {
    Q_OBJECT

public:
    ReportWindow(CommandHost* host, std::function<Date()> today);

    // The charts come from the late parts; null when they cannot be loaded,
    // and the window shows its lists without them. Tests hand in their own.
    void setChartParts(std::function<const LateParts*()> parts);

    // The periods shown: `count` periods up to `last`.
    void showPeriods(const PeriodName& last, int count);
    void showShownPeriod();
    void stepPeriod(int delta);
    PeriodName lastPeriod() const { return last_; }
    int periodCount() const { return count_; }

    const PeriodReport& report() const { return report_; }
    const std::vector<ChartSlice>& slices() const { return slices_; }
    const MonthSoFar& monthSoFar() const { return soFar_; }
    // A slice of the donut (0-based), as a click picks it.
    void pickSlice(std::size_t index);
    // A row of the list: an item's row drills down into it.
    void pickRow(int row);
    // The items the drill-down shows (CP932), and its days.
    const std::vector<std::string>& drilledItems() const { return drilled_; }
    const std::vector<std::pair<std::string, DrillDay>>& drillDays() const { return drillDays_; }
    // Enter on a day or a line: the main window goes to that day and its
    // sheet opens.
    void openDrilledDay(QTreeWidgetItem* at);

    QTableWidget* itemTable() const { return table_; }
    QTreeWidget* drillTree() const { return tree_; }
    QLabel* summaryLabel() const { return summary_; }
    QLabel* chartNote() const { return chartNote_; }
    QWidget* donutView() const { return donut_; }

    // The list: 項目, then this span and each base with its change as an
    // amount and a percentage; a row per item, then 合計 and 収入.
    static constexpr int Columns = 11;

protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void fill();
    void fillTable();
    void fillCharts();
    void drill(const std::vector<std::string>& items, const QString& caption);
    bool loadCharts();

    CommandHost* host_;
    BookDocument* doc_;
    std::function<Date()> today_;
    std::function<const LateParts*()> partsLoader_;
    const LateParts* parts_ = nullptr;
    bool partsTried_ = false;

    QLabel* periodLabel_ = nullptr;
    QSpinBox* countBox_ = nullptr;
    QWidget* chartPane_ = nullptr;
    QWidget* donut_ = nullptr;
    QWidget* soFarChart_ = nullptr;
    QLabel* chartNote_ = nullptr;
    QTableWidget* table_ = nullptr;
    QTreeWidget* tree_ = nullptr;
    QLabel* drillCaption_ = nullptr;
    QLabel* summary_ = nullptr;
    QLabel* soFarLabel_ = nullptr;

    std::unique_ptr<ReportBook> book_; // the months as read for the figures shown
    PeriodName last_;
    int count_ = 1;
    PeriodReport report_;
    std::vector<ChartSlice> slices_;
    MonthSoFar soFar_;
    std::vector<std::string> drilled_;
    QString drillName_;
    std::vector<std::pair<std::string, DrillDay>> drillDays_;
};
