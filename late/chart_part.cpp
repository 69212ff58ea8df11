// The year overview's charts: the expenses stacked by item, and the closing
// balance as a line.
#include "late/chart_scale.h"
#include "late/item_colours.h"
#include "late/parts.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QFont>
#include <QLineSeries>
#include <QStackedBarSeries>
#include <algorithm>

namespace late {

namespace {

QStringList monthNames() {
    QStringList months;
    for (int m = 1; m <= 12; ++m)
        months << QString::number(m);
    return months;
}

// Puts the chart in the view with a month axis below and a value axis
// covering lo..hi beside, and drops the chart it showed before. A chart
// with nothing to draw says so in its title.
void show(QWidget* view, QChart* chart, QAbstractSeries* series, const YearChartData& data,
          double lo, double hi, bool empty) {
    // The chart follows the window's colours: dark on a dark desktop.
    const QPalette& pal = view->palette();
    if (pal.color(QPalette::Window).lightness() < pal.color(QPalette::WindowText).lightness())
        chart->setTheme(QChart::ChartThemeDark);
    if (empty) chart->setTitle(chart->title() + QStringLiteral("（記録がありません）"));
    chart->addSeries(series);
    auto* x = new QBarCategoryAxis;
    x->append(monthNames());
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    // Labels of its own: grouped digits, each step once.
    auto* y = new QCategoryAxis;
    y->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    const std::vector<Tick> ticks = valueTicks(lo, hi);
    for (const Tick& t : ticks)
        y->append(t.label, t.value);
    y->setRange(ticks.front().value, ticks.back().value);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);
    if (data.titleFont) chart->setTitleFont(*data.titleFont);
    if (data.smallFont) {
        chart->legend()->setFont(*data.smallFont);
        x->setLabelsFont(*data.smallFont);
        x->setTitleFont(*data.smallFont);
        y->setLabelsFont(*data.smallFont);
    }
    chart->setMargins(QMargins(4, 4, 4, 4));
    x->setTitleText(QStringLiteral("月"));
    auto* chartView = static_cast<QChartView*>(view);
    QChart* old = chartView->chart();
    chartView->setChart(chart);
    delete old;
}

} // namespace

QWidget* newChartView(QWidget* parent) {
    auto* view = new QChartView(parent);
    view->setRenderHint(QPainter::Antialiasing);
    return view;
}

void fillExpenseChart(QWidget* view, const YearChartData& data) {
    auto* bars = new QStackedBarSeries;
    for (std::size_t i = 0; i < data.items.size(); ++i) {
        auto* set = new QBarSet(QString::fromStdString(data.items[i]));
        for (double v : data.expense[i])
            *set << v;
        bars->append(set);
    }
    const double most = *std::max_element(data.totalExpense.begin(), data.totalExpense.end());
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("%1年 項目別の支出").arg(data.year));
    chart->legend()->setAlignment(Qt::AlignRight);
    show(view, chart, bars, data, 0, std::max(0.0, most), !(most > 0));
    // After the theme has had its say: each item keeps its own colour.
    const QList<QBarSet*> sets = bars->barSets();
    for (int i = 0; i < sets.size(); ++i) {
        const std::size_t at = static_cast<std::size_t>(i);
        const QColor c =
            ItemColours::of(at < data.itemNumbers.size() ? data.itemNumbers[at] : i + 1);
        sets[i]->setColor(c);
        sets[i]->setBorderColor(c.darker(130));
    }
}

void fillBalanceChart(QWidget* view, const YearChartData& data) {
    auto* line = new QLineSeries;
    line->setName(QStringLiteral("月末残高"));
    line->setPointsVisible(true);
    double lo = 0, hi = 0;
    for (int m = 0; m < 12; ++m) {
        if (!data.balanceKnown[m]) continue;
        const double v = data.closing[m];
        if (line->count() == 0) lo = hi = v;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        line->append(m, v);
    }
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("%1年 月末残高").arg(data.year));
    chart->legend()->hide();
    show(view, chart, line, data, lo, hi, line->count() == 0);
}

} // namespace late
