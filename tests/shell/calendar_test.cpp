#include "ledger/errors.h"
#include "shell/calendar.h"
#include "shell/theme.h"

#include <QApplication>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>

namespace {

// Moves the calendar to a date in an order where every step is valid.
void setDate(TCalendar& c, int y, int m, int d) {
    c.setDay(1);
    c.setYear(y);
    c.setMonth(m);
    c.setDay(d);
}

QPoint centre(const TCalendar& c, int col, int row) {
    return c.cellRect(col, row).center();
}

} // namespace

TEST(Calendar, LayoutOfMonthsStartingOnSaturdayAndSunday) {
    TCalendar c;
    c.resize(532, 317);
    setDate(c, 2022, 10, 1); // 1 October 2022 is a Saturday, 31 days
    EXPECT_EQ(c.firstColumn(), 6);
    for (int col = 0; col < 6; ++col)
        EXPECT_EQ(c.cellText(col, 1), "") << col;
    EXPECT_EQ(c.cellText(6, 1), "1");
    EXPECT_EQ(c.cellText(0, 6), "30");
    EXPECT_EQ(c.cellText(1, 6), "31");
    EXPECT_EQ(c.cellText(2, 6), "");

    setDate(c, 2023, 1, 15); // 1 January 2023 is a Sunday
    EXPECT_EQ(c.firstColumn(), 0);
    EXPECT_EQ(c.cellText(0, 1), "1");
    EXPECT_EQ(c.cellText(0, 3), "15");
    EXPECT_EQ(c.currentCol(), 0);
    EXPECT_EQ(c.currentRow(), 3);
    // February 2015 fits in four rows; the rest stay empty.
    setDate(c, 2015, 2, 1);
    EXPECT_EQ(c.cellText(6, 4), "28");
    for (int col = 0; col < 7; ++col)
        EXPECT_EQ(c.cellText(col, 5), "");

    // Another start of the week shifts the columns.
    c.setStartOfWeek(1);
    EXPECT_EQ(c.cellText(6, 1), "1");
    EXPECT_EQ(c.cellText(0, 0), "月");
}

TEST(Calendar, HeaderIsJapaneseWhateverTheLocale) {
    const QLocale before;
    for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates),
                                  QLocale(QLocale::German, QLocale::Germany)}) {
        QLocale::setDefault(locale);
        TCalendar c;
        c.setStartOfWeek(6);
        EXPECT_EQ(c.cellText(0, 0), "土") << locale.name().toStdString();
        EXPECT_EQ(c.cellText(1, 0), "日");
        EXPECT_EQ(c.cellText(6, 0), "金");
    }
    QLocale::setDefault(before);
}

TEST(Calendar, WeekendsAndHolidaysHaveTheirColourAndTheHolidayItsName) {
    TCalendar c;
    const QColor text = c.palette().color(QPalette::Text);
    const QColor red = Theme::sundayInk(c.palette());
    const QColor blue = Theme::saturdayInk(c.palette());
    ASSERT_NE(red, text);
    ASSERT_NE(blue, text);
    struct Case {
        QDate day;
        QColor ink;
        QString tip;
    } cases[] = {
        {QDate(2026, 1, 1), red, QStringLiteral("元日")},      // a Thursday
        {QDate(2026, 1, 3), blue, {}},                         // Saturday
        {QDate(2026, 1, 4), red, {}},                          // Sunday
        {QDate(2026, 1, 5), text, {}},                         // Monday
        {QDate(2026, 1, 12), red, QStringLiteral("成人の日")}, // a Monday holiday
        {QDate(2026, 5, 6), red, QStringLiteral("振替休日")},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(c.dayInk(k.day), k.ink) << k.day.toString().toStdString();
        EXPECT_EQ(c.dayTip(k.day), k.tip) << k.day.toString().toStdString();
    }
}

TEST(Calendar, NotesAndDecorationsAddUpRatherThanReplace) {
    TCalendar c;
    c.resize(532, 317);
    setDate(c, 2026, 1, 10);
    const QDate day(2026, 1, 20);
    c.setDayNotes(
        [day](const QDate& d, bool) { return d == day ? QString("家賃 -85,000") : QString(); });
    c.setDayNotes([day](const QDate& d, bool future) {
        return d == day && !future ? QString("給料 +285,000") : QString();
    });
    EXPECT_EQ(c.dayNote(day, false), "家賃 -85,000\n給料 +285,000");
    EXPECT_EQ(c.dayNote(day, true), "家賃 -85,000");
    EXPECT_EQ(c.dayNote(day.addDays(1), false), "");

    // Each decoration gets its own band, stacked from the cell's foot, and its tip.
    std::vector<QRect> bands;
    for (int h : {6, 9})
        c.addDecoration(
            {[h](const QDate&, int) { return h; },
             [&bands](QPainter&, const QRect& band, const QDate&) { bands.push_back(band); },
             [h](const QDate& d) { return d.day() == 20 ? QString::number(h) : QString(); }});
    QPixmap pm(c.size());
    bands.clear();
    c.render(&pm);
    // The 21st has no forecast: the first band sits on the cell's foot.
    const QRect cell = c.cellRect(3, 4);
    ASSERT_EQ(c.cellText(3, 4), "21");
    std::vector<QRect> inCell;
    for (const QRect& b : bands)
        if (cell.contains(b.center())) inCell.push_back(b);
    ASSERT_EQ(inCell.size(), 2u);
    EXPECT_EQ(inCell[0].bottom(), cell.bottom());
    EXPECT_EQ(inCell[0].height(), 6);
    EXPECT_EQ(inCell[1].height(), 9);
    EXPECT_EQ(inCell[1].bottom() + 1, inCell[0].top());
    // On the 20th the forecast's band comes first.
    const QRect cell20 = c.cellRect(2, 4);
    for (const QRect& b : bands)
        if (cell20.contains(b.center())) {
            EXPECT_LT(b.bottom(), cell20.bottom() - 6);
        }
    EXPECT_EQ(c.dayTip(day), "家賃 -85,000\n給料 +285,000\n6\n9");
}

TEST(Calendar, HoveringADayShowsItsTip) {
    TCalendar c;
    c.resize(532, 317);
    setDate(c, 2026, 1, 10);
    c.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&c));
    // 1 January 2026 is a Thursday, 12 January the second Monday.
    struct Case {
        int col, row;
        QString tip; // empty: whatever showed stays until it fades
    } cases[] = {{4, 1, QStringLiteral("元日")},
                 {0, 0, {}},
                 {0, 1, {}},
                 {1, 3, QStringLiteral("成人の日")},
                 {2, 3, {}}};
    for (const Case& k : cases) {
        const QPoint at = c.cellRect(k.col, k.row).center();
        QHelpEvent help(QEvent::ToolTip, at, c.mapToGlobal(at));
        EXPECT_TRUE(QApplication::sendEvent(&c, &help)) << "the calendar answers its tooltips";
        if (!k.tip.isEmpty()) {
            EXPECT_EQ(QToolTip::text(), k.tip) << k.col << "," << k.row;
        }
    }
    QToolTip::hideText();
}

TEST(Calendar, WritesFollowTheirRules) {
    TCalendar c;
    setDate(c, 2024, 1, 31);
    EXPECT_FALSE(c.UseCurrentDate());
    QSignalSpy changed(&c, &TCalendar::dateChanged);

    struct Case {
        int index, value;
    } ignored[] = {{3, 0}, {3, 32}, {2, 13}, {2, 0}, {1, -5}, {3, 31}, {2, 1}, {1, 2024}};
    for (const Case& w : ignored) {
        const int before = c.redrawCount();
        c.setDatePart(w.index, w.value);
        EXPECT_EQ(c.redrawCount(), before) << w.index << "=" << w.value;
    }
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(QDate(c.Year(), c.Month(), c.Day()), QDate(2024, 1, 31));

    // 31 January to February is not a date: an error, and the date stays.
    try {
        c.setMonth(2);
        ADD_FAILURE() << "no error";
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), "日付に変換できない値が渡されました");
    }
    EXPECT_EQ(c.Month(), 1);
    EXPECT_EQ(c.Day(), 31);
    c.setDay(1);
    c.setMonth(2);
    EXPECT_EQ(QDate(c.Year(), c.Month(), c.Day()), QDate(2024, 2, 1));
    EXPECT_EQ(changed.count(), 2);

    // April has no 31st; 29 February cannot move to a common year.
    c.setMonth(4);
    c.setDay(31);
    EXPECT_EQ(c.Day(), 1);
    c.setMonth(2);
    c.setDay(29);
    EXPECT_THROW(c.setYear(2023), AppError);
    EXPECT_THROW(c.setYear(10000), AppError);
    EXPECT_EQ(c.Year(), 2024);
    c.setYear(2028);
    EXPECT_EQ(c.Year(), 2028);

    EXPECT_EQ(c.datePart(1), 2028);
    EXPECT_EQ(c.datePart(2), 2);
    EXPECT_EQ(c.datePart(3), 29);
    EXPECT_EQ(c.datePart(0), -1);
    EXPECT_EQ(c.datePart(4), -1);
}

TEST(Calendar, OnlyDayCellsCanBeSelectedByMouseOrKeys) {
    TCalendar c;
    c.resize(532, 317);
    c.show();
    setDate(c, 2022, 10, 1); // Saturday the 1st, in the last column of row 1
    EXPECT_EQ(c.colWidth(), 75);
    EXPECT_EQ(c.rowHeight(), 44);

    QTest::mouseClick(&c, Qt::LeftButton, {}, centre(c, 3, 0)); // header
    EXPECT_EQ(c.Day(), 1);
    QTest::mouseClick(&c, Qt::LeftButton, {}, centre(c, 2, 1)); // empty cell
    EXPECT_EQ(c.Day(), 1);
    QTest::keyClick(&c, Qt::Key_Left); // onto an empty cell: stays
    EXPECT_EQ(c.Day(), 1);
    QTest::keyClick(&c, Qt::Key_Up); // onto the header: stays
    EXPECT_EQ(c.Day(), 1);
    QTest::keyClick(&c, Qt::Key_Down);
    EXPECT_EQ(c.Day(), 8);
    QTest::keyClick(&c, Qt::Key_Left);
    EXPECT_EQ(c.Day(), 7);

    QTest::mouseClick(&c, Qt::LeftButton, {}, centre(c, 1, 6));
    EXPECT_EQ(c.Day(), 31);
    QTest::keyClick(&c, Qt::Key_Right); // past the last day: stays
    QTest::keyClick(&c, Qt::Key_Down);  // below the grid: stays
    EXPECT_EQ(c.Day(), 31);
    EXPECT_EQ(c.currentCol(), 1);
    EXPECT_EQ(c.currentRow(), 6);

    // A read-only calendar keeps its day.
    c.setReadOnly(true);
    QTest::mouseClick(&c, Qt::LeftButton, {}, centre(c, 0, 2));
    EXPECT_EQ(c.Day(), 31);
}

TEST(Calendar, DoubleClickSelectsTheDayFirst) {
    TCalendar c;
    c.resize(532, 317);
    c.show();
    setDate(c, 2023, 1, 1);
    int dayAtSignal = 0;
    QObject::connect(&c, &TCalendar::doubleClicked, [&] { dayAtSignal = c.Day(); });
    QTest::mouseDClick(&c, Qt::LeftButton, {}, centre(c, 3, 2)); // 11 January
    EXPECT_EQ(dayAtSignal, 11);
}

TEST(Calendar, CellSizesFollowTheControlsSize) {
    TCalendar c;
    struct Case {
        int w, h, colW, rowH;
    } cases[] = {{532, 317, 75, 44}, {700, 500, 99, 70}, {13, 13, 1, 1}};
    for (const Case& s : cases) {
        c.resize(s.w, s.h);
        EXPECT_EQ(c.colWidth(), s.colW) << s.w;
        EXPECT_EQ(c.rowHeight(), s.rowH) << s.h;
    }
}
