// 文字の大きさ: the percentage kept in the user's settings, the fonts and the
// windows it scales, and the screen it never grows a window past.
#include "controls/string_grid.h"
#include "shell/text_size.h"
#include "shell/window_style.h"
#include "tests/support/test_support.h"
#include "tests/windows/sheet_fixture.h"
#include "windows/sheet_lines.h"
#include "windows/text_size_window.h"
#include "windows/ver.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

class TextSizeTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The user's settings go to a folder of the test's own.
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString(dir.path()));
        QSettings(QSettings::IniFormat, QSettings::UserScope, "zadud", "look").clear();
    }
    void TearDown() override {
        TextSize::apply(*qApp, 100);
        QSettings(QSettings::IniFormat, QSettings::UserScope, "zadud", "look").clear();
    }
    TempDir dir;
};

TEST_F(TextSizeTest, OnlyAChoiceIsKeptAndTheWindowStoresTheTickedOne) {
    EXPECT_EQ(TextSize::stored(), 100);
    struct Case {
        int store, read;
    } cases[] = {{150, 150}, {200, 200}, {130, 100}, {0, 100}, {125, 125}};
    for (const Case& c : cases) {
        TextSize::store(c.store);
        EXPECT_EQ(TextSize::stored(), c.read) << c.store;
    }
    TextSizeWindow w;
    ASSERT_EQ(w.findChildren<QRadioButton*>().size(), 5);
    EXPECT_TRUE(w.findChild<QRadioButton*>("Size125")->isChecked());
    w.findChild<QRadioButton*>("Size175")->setChecked(true);
    w.findChild<QDialogButtonBox*>("buttons")->button(QDialogButtonBox::Ok)->click();
    EXPECT_EQ(TextSize::stored(), 175);
    EXPECT_EQ(w.result(), QDialog::Accepted);
}

TEST_F(TextSizeTest, FontsAndWindowsGrowByThePercentage) {
    struct Case {
        int percent;
        int font12;
        QSize window;
        QRect label;
    } cases[] = {
        {100, 12, {261, 127}, {30, 7, 205, 69}},
        {150, 18, {392, 191}, {45, 11, 308, 104}},
        {200, 24, {522, 254}, {60, 14, 410, 138}},
    };
    for (const Case& c : cases) {
        TextSize::apply(*qApp, c.percent);
        EXPECT_EQ(WindowStyle::font(WindowStyle::GothicP, 12, false).pixelSize(), c.font12);
        TForm6 ver;
        TextSize::scaleWindow(&ver, c.percent / 100.0, QRect(0, 0, 1280, 800));
        EXPECT_EQ(ver.size(), c.window) << c.percent;
        EXPECT_EQ(ver.minimumSize(), ver.maximumSize()) << "still a fixed size";
        EXPECT_EQ(ver.findChild<QLabel*>("Label1")->geometry(), c.label) << c.percent;
    }
}

// A new size applies at once to the application's font and to every font a
// widget set itself, from its size at 100 %, also one set anew since.
TEST_F(TextSizeTest, FontsAlreadySetFollowEachChangeWithoutDrifting) {
    const QFont app = QApplication::font();
    QWidget w;
    auto* label = new QLabel(QStringLiteral("食費"), &w);
    label->setFont(WindowStyle::font(WindowStyle::GothicP, 21, false));
    auto appSize = [] {
        const QFont f = QApplication::font();
        return f.pixelSize() > 0 ? double(f.pixelSize()) : f.pointSizeF();
    };
    const double app100 = appSize();
    struct Case {
        int percent;
        int label;   // the label's pixels
        int setAnew; // set by the program at this size (0: none), as made at 100 %
    } cases[] = {{125, 26, 0},  {150, 32, 0}, {100, 21, 0}, {175, 37, 0},
                 {175, 35, 20}, {100, 20, 0}, {200, 40, 0}};
    for (const Case& c : cases) {
        if (c.setAnew)
            label->setFont(WindowStyle::font(WindowStyle::GothicP, c.setAnew, false));
        else
            TextSize::apply(*qApp, c.percent);
        EXPECT_EQ(label->font().pixelSize(), c.label) << c.percent;
        EXPECT_NEAR(appSize(), app100 * c.percent / 100, 0.51) << c.percent;
    }
    TextSize::apply(*qApp, 100);
    EXPECT_EQ(QApplication::font(), app);
}

TEST_F(TextSizeTest, GridsGrowTheirCellsWithTheText) {
    QWidget w;
    auto* grid = new StringGrid(3, 4, &w);
    grid->setDefaultColWidth(120);
    grid->setDefaultRowHeight(24);
    auto* table = new QTableWidget(3, 2, &w);
    table->horizontalHeader()->setDefaultSectionSize(80);
    table->verticalHeader()->setDefaultSectionSize(22);
    table->horizontalHeader()->resizeSection(1, 100);
    TextSize::scaleWindow(&w, 1.5, QRect());
    EXPECT_EQ(grid->DefaultColWidth(), 180);
    EXPECT_EQ(grid->DefaultRowHeight(), 36);
    EXPECT_EQ(table->horizontalHeader()->defaultSectionSize(), 120);
    EXPECT_EQ(table->verticalHeader()->defaultSectionSize(), 33);
    EXPECT_EQ(table->horizontalHeader()->sectionSize(1), 150);
    EXPECT_EQ(table->verticalHeader()->sectionSize(2), 33);
}

TEST_F(TextSizeTest, EachWindowGrowsOnceOnItsFirstShowing) {
    TextSize::apply(*qApp, 150);
    QWidget w;
    auto* child = new QWidget(&w);
    w.resize(200, 100);
    w.show();
    EXPECT_EQ(w.size(), QSize(300, 150));
    w.hide();
    w.show();
    EXPECT_EQ(w.size(), QSize(300, 150)) << "grown twice";
    child->show();
    EXPECT_EQ(w.size(), QSize(300, 150)) << "a child's showing grew its window";
}

TEST_F(TextSizeTest, AWindowNeverGrowsPastTheScreen) {
    const QRect screen(0, 0, 1280, 800);
    struct Case {
        QRect screen; // empty: no limit
        QPoint at;
        QSize size, grown;
        QPoint to;
    } cases[] = {{screen, {0, 0}, {1000, 700}, {1280, 760}, {0, 0}},
                 {screen, {100, 111}, {400, 500}, {600, 750}, {100, 10}},
                 {screen, {800, 50}, {400, 300}, {600, 450}, {680, 50}},
                 {screen, {300, 400}, {200, 200}, {300, 300}, {300, 400}},
                 {QRect(), {0, 0}, {1000, 700}, {1500, 1050}, {0, 0}}};
    for (const Case& c : cases) {
        QWidget w;
        w.move(c.at);
        w.resize(c.size);
        TextSize::scaleWindow(&w, 1.5, c.screen);
        EXPECT_EQ(w.size(), c.grown) << c.size.width();
        EXPECT_EQ(w.pos(), c.to) << c.size.width();
    }
}

// A size chosen while the daily sheet is open applies to it at once: its
// fonts and cells grow, and its rows still show; back at 100 % it is as made.
class TextSizeOnOpenSheet : public SheetFixture {
protected:
    void SetUp() override {
        SheetFixture::SetUp();
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString(settingsDir.path()));
    }
    void TearDown() override {
        TextSize::apply(*qApp, 100);
        QSettings(QSettings::IniFormat, QSettings::UserScope, "zadud", "look").clear();
        SheetFixture::TearDown();
    }
    TempDir settingsDir;
};

TEST_F(TextSizeOnOpenSheet, FontsCellsAndWindowChangeAtOnceAndTheRowsStillShow) {
    start(1996, 12, 5, {{1, QStringLiteral("食費")}});
    // The main window, the sheet's parent, is open too: each grows once.
    form1->show();
    form1->SpeedButton3->click();
    ASSERT_TRUE(form2->isVisible());
    const QSize made = form2->size();
    const int title = form2->Label1->font().pixelSize();
    struct Case {
        int percent, gridFont, rowHeight;
    } cases[] = {{125, 20, 30}, {150, 24, 36}, {100, 16, 24}, {175, 28, 42}, {100, 16, 24}};
    for (const Case& c : cases) {
        TextSizeWindow choice(form1.get());
        choice.findChild<QRadioButton*>(QStringLiteral("Size%1").arg(c.percent))->setChecked(true);
        choice.findChild<QDialogButtonBox*>("buttons")->button(QDialogButtonBox::Ok)->click();
        EXPECT_EQ(TextSize::stored(), c.percent);
        QCoreApplication::processEvents();
        EXPECT_EQ(form2->SG1->font().pixelSize(), c.gridFont) << c.percent;
        EXPECT_EQ(form2->SG1->DefaultRowHeight(), c.rowHeight) << c.percent;
        EXPECT_EQ(form2->Label1->font().pixelSize(), std::lround(title * c.percent / 100.0))
            << c.percent;
        // Grown, within the screen, with the balance row inside the grid.
        const QRect screen = form2->screen()->availableGeometry();
        EXPECT_LE(form2->height(), screen.height()) << c.percent;
        if (c.percent > 100) {
            EXPECT_GT(form2->width(), made.width()) << c.percent;
        }
        // Every row is in the grid, and in view or reached by its scroll bar.
        const QRect balance = form2->SG1->cellRect(2, TForm2::BalanceRow);
        EXPECT_LE(balance.bottom(), form2->SG1->height()) << c.percent;
        auto* area = form2->findChild<QScrollArea*>("GridArea");
        EXPECT_GE(area->viewport()->height() + area->verticalScrollBar()->maximum(),
                  balance.bottom())
            << c.percent;
        EXPECT_EQ(form2->SG1->cell(0, TForm2::BalanceRow), QStringLiteral("   残  高"));
    }
    EXPECT_EQ(form2->size(), made) << "back at 100 %";
}

} // namespace
