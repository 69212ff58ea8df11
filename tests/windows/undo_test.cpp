#include "tests/windows/sheet_fixture.h"

#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QTest>

namespace {

using UndoTest = SheetFixture;

// An amount typed in the amount dialog, undone from the sheet's Ctrl+Z and
// redone from the main window's Ctrl+Y, with the step named in the menus.
TEST_F(UndoTest, TheSheetAndTheMainWindowUndoAndRedoTheTypedAmount) {
    start(2026, 12, 24, {{1, QStringLiteral("食費")}});
    form1->Exit2Click();
    form2->SG1->setCurrent(1, 1);
    form2->SG1Click();
    form5->Edit2->setValue(Currency::fromUnits(3480));
    form5->Button2Click();
    EXPECT_EQ(day(1, 24).Expense, 3480);

    EXPECT_EQ(form2->Undo1->text(), QStringLiteral("元に戻す: 12/24 食費 支出 3,480"));
    QApplication::setActiveWindow(form2);
    QTest::keyClick(form2, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(day(1, 24).Expense, 0);
    EXPECT_EQ(cell(2, 1), amount(0)) << "the sheet shows the undone amount";

    form2->Exit1Click();
    form1->show();
    QApplication::setActiveWindow(form1.get());
    QTest::keyClick(form1.get(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(day(1, 24).Expense, 3480);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

} // namespace
