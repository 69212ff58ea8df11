// The change history lists the journal's steps and goes back to one of them.
#include "shell/theme.h"
#include "tests/windows/other_pc.h"
#include "tests/windows/sheet_fixture.h"
#include "windows/change_history.h"

#include <QPushButton>
#include <QTreeWidget>
#include <functional>

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

// Another PC's step on the same cell, written into its own journal beside ours.
void stepOnOtherPc(const std::string& dir, int32_t value) {
    auto other = otherPcBook(dir, {2026, 12});
    other->setAmount({2026, 12}, 1, 24, AmountField::Expense, value, ChangeSource::Typed);
    other->saveMonth();
}

TEST_F(ChangeHistoryTest, RowsNameThePcOnceTheBookIsKeptOnSeveral) {
    start(2026, 12, 24, {{1, QStringLiteral("食費")}});
    doc->book().setPcName("own");
    doc->book().clock = [] { return std::string("2026-12-24T09:00:00"); };
    doc->book().setAmount({2026, 12}, 1, 24, AmountField::Expense, 100, ChangeSource::Typed);
    doc->save();
    ChangeHistory history(form1.get());
    auto* list = history.findChild<QTreeWidget*>("changeList");
    ASSERT_NE(list, nullptr);
    const QString Own = QStringLiteral("この PC");
    const struct {
        std::function<void()> step;
        int columns;
        QStringList pcs;   // newest first; none for a book of one PC
        QList<bool> muted; // undone rows
        int32_t cell;
    } cases[] = {
        {[] {}, 6, {}, {false}, 100},
        {[&] {
             stepOnOtherPc(dir.path(), 300);
             doc->reload();
         },
         7,
         {QStringLiteral("pc-b"), Own},
         {false, false},
         300},
        // The other PC's step undone here: its row stays, greyed.
        {[&] { doc->undo(); }, 7, {QStringLiteral("pc-b"), Own}, {true, false}, 100},
        {[&] { doc->redo(); }, 7, {QStringLiteral("pc-b"), Own}, {false, false}, 300},
    };
    const QColor muted = Theme::muted(list->palette());
    for (const auto& c : cases) {
        c.step();
        history.fillList();
        SCOPED_TRACE(c.columns);
        EXPECT_EQ(list->columnCount(), c.columns);
        EXPECT_EQ(list->headerItem()->text(c.columns - 1),
                  c.pcs.isEmpty() ? QStringLiteral("入力元") : QStringLiteral("PC"));
        ASSERT_EQ(list->topLevelItemCount(), c.muted.size());
        for (int i = 0; i < c.muted.size(); ++i) {
            QTreeWidgetItem* row = list->topLevelItem(i);
            if (!c.pcs.isEmpty()) {
                EXPECT_EQ(row->text(6), c.pcs[i]);
            }
            EXPECT_EQ(row->foreground(0).color() == muted, c.muted[i]) << i;
        }
        EXPECT_EQ(doc->book().amount({2026, 12}, 1, 24, AmountField::Expense), c.cell);
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

} // namespace
