// 文字の大きさ: the percentage kept in the user's settings, the fonts and the
// windows it scales, and the screen it never grows a window past.
#include "controls/string_grid.h"
#include "shell/text_size.h"
#include "shell/window_style.h"
#include "tests/support/test_support.h"
#include "windows/text_size_window.h"
#include "windows/ver.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTableWidget>
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
    QWidget w;
    w.resize(1000, 700);
    TextSize::scaleWindow(&w, 1.5, QRect(0, 0, 1280, 800));
    EXPECT_EQ(w.size(), QSize(1280, 760));
    QWidget free;
    free.resize(1000, 700);
    TextSize::scaleWindow(&free, 1.5, QRect());
    EXPECT_EQ(free.size(), QSize(1500, 1050));
}

} // namespace
