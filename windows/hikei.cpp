#include "windows/hikei.h"

#include "controls/NewNumEdit.h"
#include "controls/string_grid.h"
#include "ledger/amount_format.h"
#include "ledger/cp932.h"
#include "shell/calendar.h"
#include "shell/error_box.h"
#include "shell/theme.h"
#include "shell/window_keys.h"
#include "shell/window_style.h"
#include "shell/zadud.h"
#include "windows/held_month.h"
#include "windows/nyukin.h"
#include "windows/sheet_lines.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>
#include <exception>

namespace {

QToolButton* speedButton(QWidget* parent, int x) {
    auto* b = new QToolButton(parent);
    b->setGeometry(x, 0, 25, 25);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setIconSize(QSize(24, 24));
    return b;
}

// Row i as the fill writes it: the item's name and its two amounts of `day`.
void writeItemRow(StringGrid& sg, int i, const LedgerItem& item, int day) {
    const DayCell& c = item.Days[day];
    sg.setCell(0, i, QString::fromStdString(cp932ToUtf8Lossy(item.Name)));
    sg.setCell(1, i, QString::fromLatin1(AmountFmt(c.Income)));
    sg.setCell(2, i, QString::fromLatin1(AmountFmt(c.Expense)));
}

// The named items' rows of the calendar's day, without the sums, so that it
// cannot fail: for a sheet whose fill did not complete.
void showItemRows(TForm1& form1, TForm2& form2) {
    const int day = form1.document().day();
    for (int i = 1; i <= ShownItems; ++i)
        if (!form1.Ledger.Items[i].Name.empty())
            writeItemRow(*form2.SG1, i, form1.Ledger.Items[i], day);
}

// Hides the budget panel; the sheet shrinks by it, the grid keeps its rows.
void hideBudget(TForm2& form2) {
    QLabel* panel = form2.BudgetPanel;
    if (panel->isHidden()) return;
    form2.resize(form2.width(), form2.height() - panel->sizeHint().height());
    panel->hide();
}

} // namespace

TForm2::TForm2(TForm1* form1) : QDialog(form1), form1_(form1) {
    buildUi();
    // Also here, so that a step before the first showing finds the lengths.
    fillMonthDays();
}

void TForm2::fillMonthDays() {
    // February's leap day is added by rule where a step needs it.
    const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int m = 1; m <= 12; ++m)
        MonthDays[m] = days[m - 1];
}

void TForm2::buildUi() {
    setWindowTitle(QStringLiteral("日計"));
    setFont(WindowStyle::font(WindowStyle::GothicP, 12, false));
    setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    MainMenu1 = new QMenuBar(this);
    QMenu* file = MainMenu1->addMenu(QStringLiteral(" ﾌｧｲﾙ"));
    Exit1 = file->addAction(QStringLiteral("終了"));
    Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    QMenu* edit = MainMenu1->addMenu(QStringLiteral("編集"));
    // The document's commands: the same text and state in every window.
    BookDocument& doc = form1_->document();
    Undo1 = doc.undoAction();
    Redo1 = doc.redoAction();
    edit->addAction(Undo1);
    edit->addAction(Redo1);
    // What the rows show goes in before a step, which may change this day;
    // the sheet then shows the day as the step left it.
    doc.beforeStep = [this] {
        if (isVisible()) SheetStore();
    };
    doc.afterStep = [this] {
        if (isVisible()) SheetDisp(*form1_, *this);
    };
    layout->setMenuBar(MainMenu1);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::NoFrame);
    Panel1->setFixedHeight(26);
    layout->addWidget(Panel1);

    Next = speedButton(Panel1, 0);
    Next->setObjectName(QStringLiteral("Next"));
    Next->setIcon(WindowStyle::triangleIcon(true));
    SpeedButton1 = speedButton(Panel1, 25);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setIcon(WindowStyle::triangleIcon(false));
    SpeedButton2 = speedButton(Panel1, 50);
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2->setEnabled(false);

    Label1 = WindowStyle::titleLabel(Panel1, "Label1", QStringLiteral("1996年12月31日"));
    Label1->move(256, 1);

    HeldNotice = new QLabel(this);
    HeldNotice->setObjectName(QStringLiteral("HeldNotice"));
    HeldNotice->setWordWrap(true);
    HeldNotice->setContentsMargins(6, 4, 6, 4);
    HeldNotice->hide();
    layout->addWidget(HeldNotice);

    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFrameShape(QFrame::NoFrame);
    auto* gridLayout = new QVBoxLayout(Panel2);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    // At a large 文字の大きさ on a small screen the rows may not all fit:
    // the grid then scrolls rather than losing its totals.
    auto* gridArea = new QScrollArea(Panel2);
    gridArea->setObjectName(QStringLiteral("GridArea"));
    gridArea->setFrameShape(QFrame::NoFrame);
    gridArea->setFocusPolicy(Qt::NoFocus);
    gridArea->setWidgetResizable(true);
    SG1 = new StringGrid(3, 15);
    SG1->setObjectName(QStringLiteral("SG1"));
    SG1->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
    SG1->setFixed(1, 1);
    SG1->setDefaultColWidth(120);
    SG1->setDefaultRowHeight(24);
    QFont gridFont = WindowStyle::font(WindowStyle::Mincho, 16, true);
    gridFont.setFixedPitch(true);
    gridFont.setStyleHint(QFont::Monospace);
    SG1->setFont(gridFont);
    Theme::useInk(SG1);
    gridArea->setWidget(SG1);
    gridLayout->addWidget(gridArea);
    // A row reached by the keys comes into view.
    connect(SG1, &StringGrid::clicked, gridArea, [this, gridArea] {
        const QRect cell = SG1->cellRect(SG1->Col(), SG1->Row());
        gridArea->ensureVisible(cell.center().x(), cell.center().y(), cell.width() / 2,
                                cell.height() / 2);
    });
    layout->addWidget(Panel2, 1);
    BudgetPanel = new QLabel(this);
    BudgetPanel->setObjectName(QStringLiteral("BudgetPanel"));
    BudgetPanel->setTextFormat(Qt::RichText);
    BudgetPanel->setContentsMargins(6, 2, 6, 4);
    BudgetPanel->hide();
    layout->addWidget(BudgetPanel);
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->hide();
    layout->addWidget(Label2);
    Lines = new SheetLines(doc, this);
    Lines->changed = [this] { SheetDisp(*form1_, *this); };
    layout->addWidget(Lines);

    connect(Exit1, &QAction::triggered, this, guarded(this, &TForm2::Exit1Click));
    connect(Next, &QToolButton::clicked, this, guarded(this, &TForm2::NextClick));
    connect(SpeedButton1, &QToolButton::clicked, this, guarded(this, &TForm2::SpeedButton1Click));
    connect(SG1, &StringGrid::clicked, this, guarded(this, &TForm2::SG1Click));
    WindowKeys::menuOnF10(this, MainMenu1);
    WindowKeys::pageSteps(
        this, [this] { NextClick(); }, [this] { SpeedButton1Click(); });
    Next->setAccessibleName(QStringLiteral("前の日"));
    SpeedButton1->setAccessibleName(QStringLiteral("次の日"));
    SG1->setAccessibleName(QStringLiteral("日計表"));

    // Outer size 379 x 456 at the design position, less the window frame;
    // the day's lines below the grid.
    move(164, 111);
    resize(371, 429 + Lines->sizeHint().height());
}

void TForm2::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!e->spontaneous()) runGuarded([this] { FormActivate(); });
}

void TForm2::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    FormResize();
}

void TForm2::closeEvent(QCloseEvent* e) {
    runGuarded([this] { FormClose(); });
    QDialog::closeEvent(e);
}

void TForm2::keyPressEvent(QKeyEvent* e) {
    // The sheet closes by "終了" or its close box only, never by Escape.
    if (e->key() == Qt::Key_Escape) {
        e->accept();
        return;
    }
    // Enter on an item row opens its amount, as a click on it does.
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && focusWidget() == SG1) {
        e->accept();
        runGuarded([this] { SG1Click(); });
        return;
    }
    QDialog::keyPressEvent(e);
}

void TForm2::FormActivate() {
    fillMonthDays();
    SheetYear = form1_->document().year();
    SheetMonth = form1_->document().month();
    SheetDay = form1_->document().day();
    TitleDisp();
}

void TForm2::TitleDisp() {
    QString title = QStringLiteral("%1年%2月%3日").arg(SheetYear).arg(SheetMonth).arg(SheetDay);
    if (form1_->book().held()) title += QStringLiteral(" (読み取り専用)");
    Label1->setText(title);
    Label1->adjustSize();
    Label1->move(Panel1->width() - (Label1->width() + 14), 1);
}

void TForm2::FormResize() {
    TitleDisp();
}

void TForm2::Form1Set(int mode) {
    QDate date = TCalendar::withDatePart(form1_->document().date(), 1, SheetYear);
    if (mode == 0) {
        date = TCalendar::withDatePart(date, 2, SheetMonth);
        date = TCalendar::withDatePart(date, 3, SheetDay);
    } else {
        date = TCalendar::withDatePart(date, 3, SheetDay);
        date = TCalendar::withDatePart(date, 2, SheetMonth);
    }
    form1_->document().showDate(date);
    TitleDisp();
}

int TForm2::lastDay(int year, int month) const {
    return MonthDays[month] + (month == 2 && TCalendar::isLeapYear(year) ? 1 : 0);
}

void TForm2::stepTo(int year, int month, int day, int form1SetMode) {
    const bool monthChanges = year != SheetYear || month != SheetMonth;
    // Another month is entered by the document: it saves the month left,
    // moves and loads. A failed save ends the step before anything has
    // moved; a failed load leaves the new month in memory, held.
    std::exception_ptr error;
    if (monthChanges) {
        BookDocument& doc = form1_->document();
        try {
            doc.goToDate(year, month, day);
        } catch (...) {
            if (doc.year() != year || doc.month() != month) throw;
            error = std::current_exception();
        }
    }
    SheetYear = year;
    SheetMonth = month;
    SheetDay = day;
    Form1Set(form1SetMode);
    // From here on the item rows must come to show the new day whatever
    // fails: "終了" and the next step store them into that day, and the old
    // day's texts would overwrite its amounts. The first error is reported.
    try {
        SheetDisp(*form1_, *this);
    } catch (...) {
        if (!error) error = std::current_exception();
        showItemRows(*form1_, *this);
    }
    if (error) std::rethrow_exception(error);
}

void TForm2::NextClick() {
    SheetStore();
    if (SheetDay != 1)
        stepTo(SheetYear, SheetMonth, SheetDay - 1, 0);
    else if (SheetMonth == 1)
        stepTo(SheetYear - 1, 12, lastDay(SheetYear - 1, 12), 0);
    else
        stepTo(SheetYear, SheetMonth - 1, lastDay(SheetYear, SheetMonth - 1), 0);
}

void TForm2::SpeedButton1Click() {
    SheetStore();
    if (SheetDay + 1 <= lastDay(SheetYear, SheetMonth))
        stepTo(SheetYear, SheetMonth, SheetDay + 1, 1);
    else if (SheetMonth == 12)
        stepTo(SheetYear + 1, 1, 1, 1);
    else
        stepTo(SheetYear, SheetMonth + 1, 1, 1);
}

int32_t cellAmount(const QString& text) {
    return parseInt32(ConmaCut(text.toStdString()));
}

void TForm2::SG1Click() {
    const int r = SG1->Row();
    if (SG1->cell(0, r).isEmpty() || r == TotalRow || r == BalanceRow || !form5_) return;
    // Amounts typed into a held month could never be saved.
    form1_->book().refuseIfHeld();
    form5_->Label1->setText(SG1->cell(0, r));
    form5_->Label1->adjustSize();
    form5_->Edit1->setValue(Currency::fromUnits(cellAmount(SG1->cell(1, r))));
    form5_->Edit2->setValue(Currency::fromUnits(cellAmount(SG1->cell(2, r))));
    Modal::exec(form5_);
}

void TForm2::SheetStore() {
    // Each amount that changed is one step of the change history; rows of
    // unnamed items hold nothing to store. Nothing can be typed into a held
    // month, whose rows may show none of its amounts.
    Book& book = form1_->book();
    if (book.held()) return;
    const MonthKey month = form1_->document().shownMonth();
    const int day = form1_->document().day();
    for (int i = 1; i <= ShownItems; ++i) {
        const int32_t income = cellAmount(SG1->cell(1, i));
        const int32_t expense = cellAmount(SG1->cell(2, i));
        DayCell& cell = form1_->Ledger.Items[i].Days[day];
        if (form1_->Ledger.Items[i].Name.empty()) {
            cell = {income, expense};
            continue;
        }
        if (cell.Income != income)
            book.setAmount(month, i, day, AmountField::Income, income, ChangeSource::Typed);
        if (cell.Expense != expense)
            book.setAmount(month, i, day, AmountField::Expense, expense, ChangeSource::Typed);
    }
}

void TForm2::Undo1Click() {
    form1_->document().undo();
}

void TForm2::Redo1Click() {
    form1_->document().redo();
}

void TForm2::Exit1Click() {
    SheetStore();
    Form1Set(0);
    close();
}

void TForm2::FormClose() {
    form1_->MonthDisp();
}

void TForm2::showHeldNotice(const QString& notice) {
    HeldNotice->setText(notice);
    if (notice.isEmpty() == HeldNotice->isHidden()) return;
    // The window grows or shrinks by the notice, wrapped to its width.
    const int height = HeldNotice->heightForWidth(width());
    HeldNotice->setVisible(!notice.isEmpty());
    resize(width(), this->height() + (notice.isEmpty() ? -height : height));
}

void SheetDisp(TForm1& form1, TForm2& form2) {
    StringGrid* sg = form2.SG1;
    MonthLedger& ledger = form1.Ledger;
    // A held month says which file and why, and leaves out what it cannot
    // show as the month's, as the monthly list does.
    const HeldView held = heldView(form1.book());
    form2.showHeldNotice(held.notice);
    sg->setCell(1, 0, QStringLiteral("   収  入"));
    sg->setCell(2, 0, QStringLiteral("   支  出"));
    sg->setCell(0, TForm2::TotalRow, QStringLiteral("   合  計"));
    sg->setCell(0, TForm2::BalanceRow, QStringLiteral("   残  高"));

    ledger.CarryOverSum = 0;
    for (int i = 1; i <= ShownItems; ++i)
        ledger.CarryOverSum = checkedAdd(ledger.CarryOverSum, ledger.CarryOver[i]);

    // Every item counts towards the balance, named or not.
    int32_t incomeToDate = 0;
    int32_t expenseToDate = 0;
    const int day = form1.document().day();
    const QString note = form1.dayNote(form1.document().date());
    form2.Label2->setText(note.isEmpty() ? QString()
                                         : QStringLiteral("定期: ") +
                                               note.split('\n').join(QStringLiteral(" / ")));
    form2.Label2->setVisible(!note.isEmpty());
    if (!held.figures) {
        // The names only: no amount, total or balance, and no budget, which
        // would count amounts read before the fault.
        for (int i = 1; i <= ShownItems; ++i) {
            if (ledger.Items[i].Name.empty()) continue;
            sg->setCell(0, i, QString::fromStdString(cp932ToUtf8Lossy(ledger.Items[i].Name)));
            sg->setCell(1, i, QString());
            sg->setCell(2, i, QString());
        }
        for (int col : {1, 2})
            for (int row : {TForm2::TotalRow, TForm2::BalanceRow})
                sg->setCell(col, row, QString());
        hideBudget(form2);
        form2.Lines->refresh(sg, false);
        return;
    }
    for (int d = 1; d <= day; ++d) {
        for (int i = 1; i <= ShownItems; ++i) {
            const DayCell& c = ledger.Items[i].Days[d];
            incomeToDate = checkedAdd(incomeToDate, c.Income);
            expenseToDate = checkedAdd(expenseToDate, c.Expense);
        }
    }
    const int32_t balance =
        checkedAdd(checkedSub(incomeToDate, expenseToDate), ledger.CarryOverSum);
    sg->setCell(2, TForm2::BalanceRow,
                held.balance ? QString::fromLatin1(AmountFmt(balance)) : QString());

    // Rows of unnamed items are left as they are.
    int32_t dayIncome = 0;
    int32_t dayExpense = 0;
    for (int i = 1; i <= ShownItems; ++i) {
        const LedgerItem& item = ledger.Items[i];
        if (item.Name.empty()) continue;
        const DayCell& c = item.Days[day];
        writeItemRow(*sg, i, item, day);
        dayIncome = checkedAdd(dayIncome, c.Income);
        dayExpense = checkedAdd(dayExpense, c.Expense);
    }
    sg->setCell(1, TForm2::TotalRow, QString::fromLatin1(AmountFmt(dayIncome)));
    sg->setCell(2, TForm2::TotalRow, QString::fromLatin1(AmountFmt(dayExpense)));
    BudgetDisp(form1, form2);
    form2.Lines->refresh(sg);
}

namespace {

QString grouped(int64_t v) {
    return QString::fromStdString(groupedAmount(v));
}

} // namespace

QString budgetTable(const BudgetSummary& s, const MonthLedger& month, bool withPace) {
    // The day's table is narrow: the pace instead of the budget itself. The
    // month's shows each budget in full.
    QString html = withPace ? QStringLiteral("<table cellspacing=\"0\" cellpadding=\"1\">"
                                             "<tr><th align=\"left\">予算</th><th>使った</th>"
                                             "<th>残り</th><th>1日あたり</th></tr>")
                            : QStringLiteral("<table cellspacing=\"0\" cellpadding=\"1\">"
                                             "<tr><th align=\"left\">項目</th><th>予算</th>"
                                             "<th>使った</th><th>残り</th></tr>");
    // The panel sits on the window's background.
    const QString over = Theme::warningInk(QApplication::palette(), QPalette::Window).name();
    for (int i = 1; i <= ShownItems; ++i) {
        const BudgetLine& l = s.lines[i];
        if (!l.budgeted) continue;
        const QString rest = l.over() ? QStringLiteral("<font color=\"%1\"><b>超過 %2</b></font>")
                                            .arg(over, grouped(-l.remaining))
                                      : grouped(l.remaining);
        const QString name =
            QString::fromStdString(cp932ToUtf8Lossy(month.Items[i].Name)).toHtmlEscaped();
        const QString cell = QStringLiteral("<td align=\"right\">%1　</td>");
        html += QStringLiteral("<tr><td>%1　</td>").arg(name);
        if (!withPace) html += cell.arg(grouped(l.budget));
        html += cell.arg(grouped(l.spent)) + cell.arg(rest);
        if (withPace) html += cell.arg(l.hasPace ? grouped(l.pace) : QString());
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

void BudgetDisp(TForm1& form1, TForm2& form2) {
    // The pace counts the days left in the period, the shown day included.
    const BudgetSummary s = form1.document().monthBudget(form1.document().daysLeft());
    if (!s.any) return hideBudget(form2);
    QLabel* panel = form2.BudgetPanel;
    panel->setText(budgetTable(s, form1.Ledger, true));
    if (panel->isHidden()) {
        panel->show();
        // The grid keeps its rows: the sheet grows by the panel.
        form2.resize(form2.width(), form2.height() + panel->sizeHint().height());
    }
}
