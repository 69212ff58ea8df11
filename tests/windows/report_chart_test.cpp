// The report's charts: the donut's slices in the colours and amounts given,
// a click naming its slice, the month so far's axes labelled once each with
// grouped digits, and an empty chart that says so without an axis.
#include "late/parts.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QLineSeries>
#include <QPieSeries>
#include <QPieSlice>
#include <QSet>
#include <gtest/gtest.h>
#include <memory>

namespace {

QChart* chartOf(QWidget* view) {
    return static_cast<QChartView*>(view)->chart();
}

bool allDifferent(const QStringList& labels) {
    return labels.size() == QSet<QString>(labels.begin(), labels.end()).size();
}

TEST(ReportCharts, TheDonutShowsItsSlicesAndNamesTheOneClicked) {
    struct Case {
        const char* what;
        std::vector<DonutChartData::Slice> slices;
        int shown; // slices drawn
        QString firstLabel;
    } cases[] = {
        {"two items",
         {{"食費", 300000, 0x1f77b4}, {"その他", 100000, 0x808080}},
         2,
         QStringLiteral("食費  300,000 (75.0%)")},
        {"a zero slice is left out",
         {{"食費", 0, 0x1f77b4}, {"家賃", 5, 0xff7f0e}},
         1,
         QStringLiteral("家賃  5 (100.0%)")},
        {"nothing spent", {{"食費", 0, 0x1f77b4}}, 0, QString()},
        {"no items", {}, 0, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<QWidget> view(late::newChartView(nullptr));
        std::vector<std::size_t> picked;
        DonutChartData data;
        data.title = "項目別の支出";
        data.slices = c.slices;
        data.picked = [&picked](std::size_t i) { picked.push_back(i); };
        late::fillDonutChart(view.get(), data);
        QChart* chart = chartOf(view.get());
        EXPECT_EQ(chart->title().contains(QStringLiteral("記録がありません")), c.shown == 0);
        EXPECT_TRUE(chart->axes().isEmpty());
        if (c.shown == 0) {
            EXPECT_TRUE(chart->series().isEmpty());
            continue;
        }
        auto* pie = qobject_cast<QPieSeries*>(chart->series().at(0));
        ASSERT_NE(pie, nullptr);
        ASSERT_EQ(pie->count(), c.shown);
        EXPECT_EQ(pie->slices()[0]->label(), c.firstLabel);
        // Each drawn slice keeps its colour and names its place in the data.
        std::vector<std::size_t> want;
        for (std::size_t i = 0; i < c.slices.size(); ++i)
            if (c.slices[i].amount > 0) want.push_back(i);
        for (int k = 0; k < pie->count(); ++k) {
            EXPECT_EQ(pie->slices()[k]->color(), QColor::fromRgb(c.slices[want[k]].rgb));
            emit pie->slices()[k]->clicked();
        }
        EXPECT_EQ(picked, want);
    }
}

TEST(ReportCharts, TheMonthSoFarIsLabelledOnceAndAnEmptyOneHasNoAxis) {
    struct Case {
        const char* what;
        std::vector<std::vector<double>> lines;
        QStringList days; // the day axis
        QString topLabel; // the amount axis' last
    } cases[] = {
        {"a month and the one before",
         {{1000, 1000, 25000}, std::vector<double>(31, 280000)},
         {"1", "5", "10", "15", "20", "25", "30"}, // 31 too close to 30
         QStringLiteral("300,000")},
        {"four days", {{0, 10, 20, 30}}, {"1", "4"}, QStringLiteral("30")},
        {"twenty-eight days",
         {std::vector<double>(28, 1)},
         {"1", "5", "10", "15", "20", "25", "28"},
         QStringLiteral("1")},
        {"thirty days",
         {std::vector<double>(30, 7)},
         {"1", "5", "10", "15", "20", "25", "30"},
         QStringLiteral("8")},
        {"nothing spent", {{0, 0}, {}}, {}, QString()},
        {"no lines", {}, {}, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<QWidget> view(late::newChartView(nullptr));
        DayLineChartData data;
        data.title = "今月これまで";
        for (std::size_t k = 0; k < c.lines.size(); ++k)
            data.lines.push_back({"p" + std::to_string(k), c.lines[k], 0x1f77b4, k == 0});
        late::fillDayLineChart(view.get(), data);
        QChart* chart = chartOf(view.get());
        const bool empty = c.days.isEmpty();
        EXPECT_EQ(chart->title().contains(QStringLiteral("記録がありません")), empty);
        if (empty) {
            EXPECT_TRUE(chart->axes().isEmpty()) << "no axis made up for nothing";
            EXPECT_TRUE(chart->series().isEmpty());
            continue;
        }
        ASSERT_EQ(chart->series().size(), int(c.lines.size()));
        auto* x = qobject_cast<QCategoryAxis*>(chart->axes(Qt::Horizontal).at(0));
        auto* y = qobject_cast<QCategoryAxis*>(chart->axes(Qt::Vertical).at(0));
        ASSERT_TRUE(x && y);
        EXPECT_EQ(x->categoriesLabels(), c.days);
        EXPECT_TRUE(allDifferent(y->categoriesLabels()));
        EXPECT_EQ(y->categoriesLabels().first(), QStringLiteral("0"));
        EXPECT_EQ(y->categoriesLabels().last(), c.topLabel);
        // The shown period's line stands out.
        const auto* first = static_cast<QLineSeries*>(chart->series().at(0));
        EXPECT_GT(first->pen().widthF(), 2.0);
        EXPECT_EQ(first->count(), int(c.lines[0].size()));
    }
}

} // namespace
