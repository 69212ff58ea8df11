// The year's charts: a value axis labelled once per step with grouped
// digits, one colour per item that every chart shares, and an empty year
// that says so.
#include "late/chart_scale.h"
#include "late/item_colours.h"
#include "late/parts.h"
#include "late/late_parts.h"
#include "shell/theme.h"

#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QSet>
#include <QStackedBarSeries>
#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>

namespace {

QStringList labels(const std::vector<late::Tick>& ticks) {
    QStringList out;
    for (const late::Tick& t : ticks)
        out << t.label;
    return out;
}

TEST(ChartScale, StepsAreRoundGroupedAndNeverRepeated) {
    struct Case {
        double lo, hi;
        QStringList want;
    } cases[] = {
        {0, 300000, {"0", "100,000", "200,000", "300,000"}},
        {0, 285000, {"0", "100,000", "200,000", "300,000"}},
        {-120000, 80000, {"-150,000", "-100,000", "-50,000", "0", "50,000", "100,000"}},
        {1234567, 1234567, {"1,000,000", "2,000,000"}},
        {0, 0, {"0", "1,000"}},
        {-5000, -5000, {"-5,000", "-4,000"}},
        {0, 3, {"0", "1", "2", "3"}},
        {0, 5, {"0", "1", "2", "3", "4", "5"}},
        {0, 50000, {"0", "10,000", "20,000", "30,000", "40,000", "50,000"}},
    };
    for (const Case& c : cases) {
        const std::vector<late::Tick> ticks = late::valueTicks(c.lo, c.hi);
        EXPECT_EQ(labels(ticks), c.want) << c.lo << ".." << c.hi;
        EXPECT_LE(ticks.front().value, c.lo);
        EXPECT_GE(ticks.back().value, c.hi);
    }
}

// CIE L*a*b* of an sRGB colour, for the distance people see between two.
std::array<double, 3> lab(const QColor& c) {
    auto lin = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    const double r = lin(c.redF()), g = lin(c.greenF()), b = lin(c.blueF());
    const double x = (0.4124 * r + 0.3576 * g + 0.1805 * b) / 0.95047;
    const double y = 0.2126 * r + 0.7152 * g + 0.0722 * b;
    const double z = (0.0193 * r + 0.1192 * g + 0.9505 * b) / 1.08883;
    auto f = [](double t) { return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116; };
    return {116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))};
}

TEST(ItemColours, TwelveColoursThatTellApart) {
    for (int a = 1; a <= ItemColours::Count; ++a) {
        for (int b = a + 1; b <= ItemColours::Count; ++b) {
            const auto x = lab(ItemColours::of(a)), y = lab(ItemColours::of(b));
            const double distance = std::hypot(x[0] - y[0], std::hypot(x[1] - y[1], x[2] - y[2]));
            EXPECT_GE(distance, 20.0) << a << " and " << b;
        }
    }
    EXPECT_EQ(ItemColours::of(13), ItemColours::of(1));
    EXPECT_EQ(ItemColours::of(0), ItemColours::of(12));
}

struct ChartCase {
    const char* name;
    std::array<double, 12> food;
    bool empty;
};

class ExpenseChart : public ::testing::TestWithParam<ChartCase> {};

TEST_P(ExpenseChart, ItemsKeepTheirColourAndAnEmptyYearSaysSo) {
    std::unique_ptr<QWidget> view(late::newChartView(nullptr));
    YearChartData data;
    data.year = 2026;
    data.items = {"給料", "食費"};
    data.itemNumbers = {1, 7};
    data.expense = {{}, GetParam().food};
    for (int m = 0; m < 12; ++m)
        data.totalExpense[m] = GetParam().food[m];
    late::fillExpenseChart(view.get(), data);
    QChart* chart = static_cast<QChartView*>(view.get())->chart();
    auto* bars = static_cast<QStackedBarSeries*>(chart->series().at(0));
    ASSERT_EQ(bars->count(), 2);
    EXPECT_EQ(bars->barSets()[0]->color(), ItemColours::of(1));
    EXPECT_EQ(bars->barSets()[1]->color(), ItemColours::of(7));
    EXPECT_EQ(chart->title().contains(QStringLiteral("記録がありません")), GetParam().empty);
    auto* y = qobject_cast<QCategoryAxis*>(chart->axes(Qt::Vertical).at(0));
    ASSERT_NE(y, nullptr);
    const QStringList names = y->categoriesLabels();
    EXPECT_EQ(names.size(), QSet<QString>(names.begin(), names.end()).size())
        << names.join(' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Years, ExpenseChart,
    ::testing::Values(ChartCase{"Spent", {0, 12000, 300000, 0, 0, 0, 0, 0, 0, 0, 0, 0}, false},
                      ChartCase{"Empty", {}, true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
