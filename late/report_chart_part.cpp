// The report window's charts: spending by item as a donut, and the month so
// far as running totals of the shown period and the ones before.
#include "late/chart_scale.h"
#include "late/parts.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QFont>
#include <QLineSeries>
#include <QPen>
#include <QPieSeries>
#include <QPieSlice>
#include <algorithm>
#include <cmath>

namespace late {

namespace {

QString qs(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

bool darkLook(const QWidget* view) {
    const QPalette& pal = view->palette();
    return pal.color(QPalette::Window).lightness() < pal.color(QPalette::WindowText).lightness();
}

// A new chart in the window's look, with its title and fonts.
QChart* newChart(const QWidget* view, const std::string& title, bool empty, const QFont* titleFont,
                 const QFont* smallFont) {
    auto* chart = new QChart;
    if (darkLook(view)) chart->setTheme(QChart::ChartThemeDark);
    chart->setTitle(qs(title) + (empty ? QStringLiteral("（記録がありません）") : QString()));
    if (titleFont) chart->setTitleFont(*titleFont);
    if (smallFont) chart->legend()->setFont(*smallFont);
    chart->setMargins(QMargins(4, 4, 4, 4));
    return chart;
}

void replaceChart(QWidget* view, QChart* chart) {
    auto* chartView = static_cast<QChartView*>(view);
    QChart* old = chartView->chart();
    chartView->setChart(chart);
    delete old;
}

} // namespace

void fillDonutChart(QWidget* view, const DonutChartData& data) {
    double total = 0;
    for (const DonutChartData::Slice& s : data.slices)
        total += std::max(0.0, s.amount);
    const bool empty = !(total > 0);
    QChart* chart = newChart(view, data.title, empty, data.titleFont, data.smallFont);
    chart->legend()->setAlignment(Qt::AlignRight);
    if (!empty) {
        auto* pie = new QPieSeries;
        pie->setHoleSize(0.45);
        pie->setPieSize(0.9);
        for (std::size_t i = 0; i < data.slices.size(); ++i) {
            const DonutChartData::Slice& s = data.slices[i];
            if (!(s.amount > 0)) continue;
            // The legend names the item with its amount and share.
            const QString label = QStringLiteral("%1  %2 (%3%)")
                                      .arg(qs(s.name), grouped(s.amount))
                                      .arg(s.amount * 100.0 / total, 0, 'f', 1);
            auto* slice = pie->append(label, s.amount);
            const QColor c = QColor::fromRgb(s.rgb);
            slice->setColor(c);
            slice->setBorderColor(c.darker(130));
            if (data.picked) {
                const auto picked = data.picked;
                QObject::connect(slice, &QPieSlice::clicked, slice, [picked, i] { picked(i); });
            }
            QObject::connect(slice, &QPieSlice::hovered, slice,
                             [slice](bool on) { slice->setExploded(on); });
        }
        chart->addSeries(pie);
    }
    replaceChart(view, chart);
}

void fillDayLineChart(QWidget* view, const DayLineChartData& data) {
    std::size_t days = 0;
    double hi = 0;
    bool any = false;
    for (const DayLineChartData::Line& l : data.lines) {
        days = std::max(days, l.perDay.size());
        for (double v : l.perDay) {
            hi = std::max(hi, v);
            any = true;
        }
    }
    const bool empty = !any || !(hi > 0);
    QChart* chart = newChart(view, data.title, empty, data.titleFont, data.smallFont);
    chart->legend()->setAlignment(Qt::AlignBottom);
    if (empty) {
        // Nothing spent: the title says so, with no axis made up for it.
        chart->legend()->hide();
        replaceChart(view, chart);
        return;
    }
    auto* x = new QCategoryAxis;
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    x->append(QStringLiteral("1"), 1);
    for (std::size_t d = 5; d <= days; d += 5)
        x->append(QString::number(d), double(d));
    if (days % 5 != 0 && days > 1 && days - (days / 5) * 5 >= 2)
        x->append(QString::number(days), double(days));
    x->setRange(1, double(std::max<std::size_t>(days, 2)));
    x->setTitleText(QStringLiteral("日目"));
    auto* y = new QCategoryAxis;
    y->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    const std::vector<Tick> ticks = valueTicks(0, hi);
    for (const Tick& t : ticks)
        y->append(t.label, t.value);
    y->setRange(ticks.front().value, ticks.back().value);
    if (data.smallFont) {
        x->setLabelsFont(*data.smallFont);
        x->setTitleFont(*data.smallFont);
        y->setLabelsFont(*data.smallFont);
    }
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (const DayLineChartData::Line& l : data.lines) {
        auto* series = new QLineSeries;
        series->setName(qs(l.name));
        for (std::size_t d = 0; d < l.perDay.size(); ++d)
            series->append(double(d + 1), l.perDay[d]);
        chart->addSeries(series);
        series->attachAxis(x);
        series->attachAxis(y);
        QPen pen(QColor::fromRgb(l.rgb));
        pen.setWidthF(l.bold ? 3.0 : 1.5);
        if (!l.bold) pen.setStyle(Qt::DashLine);
        series->setPen(pen);
    }
    replaceChart(view, chart);
}

} // namespace late
