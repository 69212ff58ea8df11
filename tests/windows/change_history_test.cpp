// The change history lists the journal's steps and goes back to one of them.
#include "shell/theme.h"
#include "tests/windows/sheet_fixture.h"
#include "windows/change_history.h"

#include <QPushButton>
#include <QTreeWidget>

namespace {

using ChangeHistoryTest = SheetFixture;

TEST_F(ChangeHistoryTest, ListsStepsNewestFirstAndGoesBackToTheChosenOne) {
    start(2026, 12, 24, {{1, QStringLiteral("食費")}});
    form1->Exit2Click();
    for (int32_t typed : {3480, 500}) {
        form2->SG1->setCurrent(1, 1);
        form2->SG1Click();
        form5->Edit2->setValue(Currency::fromUnits(typed));
        form5->Button2Click();
    }
    ASSERT_EQ(day(1, 24).Expense, 500);

    ChangeHistory history(form1.get());
    history.show();
    EXPECT_EQ(history.windowTitle(), QStringLiteral("変更履歴"));
    auto* list = history.findChild<QTreeWidget*>("changeList");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->currentItem(), list->topLevelItem(0)) << "the newest step is chosen";
    EXPECT_NE(list->topLevelItem(0)->text(4).indexOf(QStringLiteral("500")), -1)
        << list->topLevelItem(0)->text(4).toStdString();

    list->setCurrentItem(list->topLevelItem(1));
    history.findChild<QPushButton*>("backToButton")->click();
    EXPECT_EQ(day(1, 24).Expense, 3480) << "the later step is undone";
    ASSERT_EQ(list->topLevelItemCount(), 2) << "an undone step stays listed";
    const QColor muted = Theme::muted(list->palette());
    EXPECT_EQ(list->topLevelItem(0)->foreground(0).color(), muted);
    EXPECT_NE(list->topLevelItem(1)->foreground(0).color(), muted);

    // Going back to the step already last changes nothing.
    list->setCurrentItem(list->topLevelItem(1));
    history.findChild<QPushButton*>("backToButton")->click();
    EXPECT_EQ(day(1, 24).Expense, 3480);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    history.hide();
}

} // namespace
