// The program by keyboard alone: every step below is a key pressed where the
// focus is, as a user without a mouse works. The windows come up without a
// modal loop; which one is active stands in for the window system.
#include "ledger/month_ledger.h"
#include "ledger/text_file.h"
#include "storage/backup_files.h"
#include "tests/windows/sheet_fixture.h"
#include "windows/budget_window.h"
#include "windows/feature_list.h"
#include "windows/ichiran.h"
#include "windows/monthly_list_feature.h"
#include "windows/nikiset.h"
#include "windows/nikki.h"
#include "windows/print_feature.h"
#include "windows/year_overview_feature.h"

#include <QAccessible>
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTest>

namespace {

class KeyboardWalk : public SheetFixture {
protected:
    void SetUp() override {
        SheetFixture::SetUp();
        form7 = new TForm7(form1.get());
        form1->setMonthlyList(form7);
        for (Feature* f : std::initializer_list<Feature*>{&monthlyList, &yearOverview, &print})
            form1->install(*f);
        for (Feature* f : std::initializer_list<Feature*>{&monthlyList, &yearOverview, &print})
            f->attach(*form1);
        Modal::setRunner([this](QDialog* d) { showModal(d); });
    }
    void begin(int year, int month, int day, const std::vector<std::pair<int, QString>>& names) {
        start(year, month, day, names);
        form1->show();
        activate(form1.get());
    }

    // A window shown modally becomes the active one; the print preview and
    // the printer's dialog are handled while they are up, as their modal
    // loops would run.
    void showModal(QDialog* d) {
        shown.push_back(d);
        if (auto* printDialog = qobject_cast<QPrintDialog*>(d)) {
            printDialog->printer()->setOutputFileName(QString::fromStdString(dir.file("m.pdf")));
            printDialog->done(QDialog::Accepted);
            return;
        }
        d->show();
        activate(d);
        if (qobject_cast<QPrintPreviewDialog*>(d)) {
            press(Qt::Key_P, Qt::ControlModifier);
            previewStayed = d->isVisible();
            if (previewStayed) d->reject();
        }
    }
    static void activate(QWidget* window) {
        QApplication::setActiveWindow(window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    }
    // A key where it would go: an open menu, else the focused control of
    // the active window.
    static void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget* to = QApplication::activePopupWidget();
        if (!to) to = QApplication::focusWidget();
        if (!to) to = QApplication::activeWindow();
        ASSERT_TRUE(to);
        QTest::keyClick(to, key, mods);
    }
    static void type(const QString& keys) { QTest::keyClicks(QApplication::focusWidget(), keys); }
    // F10, then Down until `caption` is the active entry, then Enter.
    static void chooseFromMenu(const QString& caption) {
        press(Qt::Key_F10);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu) << "F10 opened no menu";
        for (int i = 0;
             i < 20 && !(menu->activeAction() && menu->activeAction()->text() == caption); ++i)
            press(Qt::Key_Down);
        ASSERT_TRUE(menu->activeAction());
        ASSERT_EQ(menu->activeAction()->text(), caption);
        press(Qt::Key_Return);
    }
    int32_t savedExpense(int year, int month, int item, int day) {
        MonthLedger l;
        for (int i = 1; i <= ShownItems; ++i)
            l.Items[i].Name = form1->Ledger.Items[i].Name;
        loadMonthFile(disk, l, dir.path(), year, month, LoadMode::Current);
        return l.Items[item].Days[day].Expense;
    }

    TForm7* form7 = nullptr;
    bool previewStayed = true; // after printing from it
    MonthlyListFeature monthlyList;
    YearOverviewFeature yearOverview;
    PrintFeature print;
};

TEST_F(KeyboardWalk, AnExpenseEnteredAndStepsTakenWithoutAMouse) {
    begin(1996, 12, 30, {{1, "食費"}, {2, "給料"}});
    // The month steps save the month left.
    press(Qt::Key_PageDown);
    EXPECT_EQ(date(), "1997-1-1");
    press(Qt::Key_PageUp);
    EXPECT_EQ(date(), "1996-12-1");
    for (Qt::Key k :
         {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Right, Qt::Key_Right})
        press(k);
    EXPECT_EQ(date(), "1996-12-31");

    // The daily sheet, the item row, the amount dialog: two receipts added.
    press(Qt::Key_K, Qt::ControlModifier);
    ASSERT_TRUE(form2->isVisible());
    ASSERT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(form2->SG1));
    press(Qt::Key_Return);
    ASSERT_TRUE(form5->isVisible());
    EXPECT_EQ(form5->Label1->text(), "食費");
    press(Qt::Key_Tab);
    type("398+1280");
    press(Qt::Key_Tab);
    press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(form5->Button2));
    press(Qt::Key_Space);
    EXPECT_FALSE(form5->isVisible());
    activate(form2);
    EXPECT_EQ(cell(2, 1), amount(1678));

    // Days step across the month end, which writes December.
    press(Qt::Key_PageDown);
    EXPECT_EQ(form2->Label1->text(), "1997年1月1日");
    EXPECT_EQ(savedExpense(1996, 12, 1, 31), 1678);
    press(Qt::Key_PageUp);
    EXPECT_EQ(cell(2, 1), amount(1678));
    press(Qt::Key_X, Qt::ControlModifier);
    EXPECT_FALSE(form2->isVisible());
    activate(form1.get());
    EXPECT_EQ(date(), "1996-12-31");

    // The monthly list from the menu; Escape closes it.
    chooseFromMenu("月別一覧");
    ASSERT_TRUE(form7->isVisible());
    EXPECT_EQ(form7->SG1->cell(31, 1), amount(-1678));
    press(Qt::Key_Escape);
    EXPECT_FALSE(form7->isVisible());
    activate(form1.get());

    // The year overview: the years step, and its CSV comes from its menu.
    press(Qt::Key_Y, Qt::ControlModifier | Qt::ShiftModifier);
    YearOverview* overview = yearOverview.window();
    ASSERT_TRUE(overview->isVisible());
    EXPECT_EQ(overview->year(), 1996);
    press(Qt::Key_PageDown);
    EXPECT_EQ(overview->year(), 1997);
    press(Qt::Key_PageUp);
    EXPECT_EQ(overview->year(), 1996);
    EXPECT_EQ(overview->model().months[12].expense[1], 1678);
    // Enter on a month's column shows that month's list.
    // The first key puts the cursor on the grid's first cell.
    for (Qt::Key k : {Qt::Key_Down, Qt::Key_End, Qt::Key_Left, Qt::Key_Left})
        press(k);
    press(Qt::Key_Return);
    EXPECT_TRUE(form7->isVisible());
    EXPECT_EQ(date(), "1996-11-1");
    press(Qt::Key_Escape);
    activate(overview);
    const std::string csv = dir.file("1996.csv");
    overview->setSavePathAsker([&](const QString&) { return QString::fromStdString(csv); });
    chooseFromMenu("CSV出力...");
    EXPECT_NE(readBytes(csv).find("1678"), std::string::npos);
    press(Qt::Key_Escape);
    EXPECT_FALSE(overview->isVisible());
    activate(form1.get());

    // The printout: Ctrl+P opens the preview, Ctrl+P there prints.
    press(Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(readBytes(dir.file("m.pdf")).substr(0, 5), "%PDF-");
    EXPECT_FALSE(previewStayed);
    EXPECT_TRUE(errors.isEmpty()) << errors.join(' ').toStdString();
}

// F10 opens each window's first menu, and the arrow keys walk on.
TEST_F(KeyboardWalk, F10OpensEveryWindowsMenu) {
    start(1996, 12, 30, {{1, "食費"}});
    TForm3 diary(form1.get());
    TForm4 settings(form1.get());
    BudgetWindow budgets(form1.get());
    for (QWidget* w : std::initializer_list<QWidget*>{
             form1.get(), form2, form7, yearOverview.window(), &diary, &settings, &budgets}) {
        SCOPED_TRACE(w->windowTitle().toStdString());
        w->show();
        activate(w);
        auto* bar = w->findChild<QMenuBar*>(QString(), Qt::FindDirectChildrenOnly);
        ASSERT_TRUE(bar);
        press(Qt::Key_F10);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        EXPECT_EQ(menu->menuAction(), bar->actions().first());
        if (bar->actions().size() > 1) {
            press(Qt::Key_Right);
            menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_TRUE(menu);
            EXPECT_EQ(menu->menuAction(), bar->actions().at(1));
        }
        press(Qt::Key_Escape);
        press(Qt::Key_Escape);
        w->hide();
    }
}

// A screen reader names every control the keyboard reaches.
TEST_F(KeyboardWalk, EveryControlThatTakesTheFocusHasAName) {
    start(1996, 12, 30, {{1, "食費"}});
    TForm3 diary(form1.get());
    TForm4 settings(form1.get());
    BackupStore backups(disk, [this] { return BookFolders{dir.path(), dir.path(), dir.path()}; });
    ProgramFeatures features(&backups, [] { return Date{1996, 12, 30}; });
    features.install(*form1);
    features.attach(*form1);
    std::vector<QWidget*> windows{form1.get(),
                                  form2,
                                  form5,
                                  form7,
                                  &diary,
                                  &settings,
                                  features.yearOverview.window(),
                                  features.diarySearch.window(),
                                  features.schedule.window(),
                                  features.statementImport.window(),
                                  features.backup.window(),
                                  features.changeHistory.window(),
                                  features.budget.window()};
    for (QWidget* w : windows) {
        w->show();
        for (QWidget* c : w->findChildren<QWidget*>()) {
            if (c->window() != w || c->focusPolicy() == Qt::NoFocus || !c->isVisibleTo(w) ||
                c->focusProxy())
                continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c);
            ASSERT_TRUE(a);
            EXPECT_FALSE(a->text(QAccessible::Name).isEmpty())
                << w->windowTitle().toStdString() << ": " << c->metaObject()->className() << " "
                << c->objectName().toStdString();
        }
        w->hide();
    }
}

} // namespace
