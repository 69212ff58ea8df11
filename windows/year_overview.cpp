#include "windows/year_overview.h"

#include "late/late_parts.h"
#include "ledger/amount_format.h"
#include "ledger/cp932.h"
#include "ledger/csv_export.h"
#include "ledger/period_figures.h"
#include "ledger/period_year.h"
#include "ledger/text_file.h"
#include "shell/book_document.h"
#include "shell/calendar.h"
#include "shell/error_box.h"
#include "shell/feature.h"
#include "shell/theme.h"
#include "shell/window_keys.h"
#include "shell/window_style.h"
#include "windows/form_frame.h"

#include <QAction>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QShowEvent>
#include <QSplitter>
#include <QTableWidget>
#include <QToolButton>
#include <algorithm>

namespace {

const int YearColumn = 12;

// Budget figures are 64-bit: a carried deficit can pass 32 bits.
QString amount(int64_t v) {
    return QString::fromStdString(groupedAmount(v));
}

QString qs(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QString monthText(int m) {
    return QStringLiteral("%1月").arg(m);
}

} // namespace

YearOverview::YearOverview(CommandHost* host)
    : QDialog(host->mainWindow()), host_(host), doc_(&host->document()) {
    setObjectName(QStringLiteral("YearOverview"));
    setWindowTitle(QStringLiteral("年間一覧"));
    setFont(WindowStyle::font(WindowStyle::GothicP, 12, false));

    const FormFrame frame = buildFormFrame(this);
    QMenu* file = frame.fileMenu;
    csvExportAction_ = file->addAction(QStringLiteral("CSV出力..."));
    recalculateAction_ = file->addAction(QStringLiteral("繰越を再計算"));
    file->addSeparator();
    exitAction_ = addCommand(file, QStringLiteral("終了"), Qt::Key_X);

    auto* bar = new QWidget(frame.panel);
    bar->setFixedHeight(25);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(0, 0, 0, 0);
    barLayout->setSpacing(0);
    auto step = [bar](bool left) {
        auto* b = new QToolButton(bar);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(25, 25);
        b->setIconSize(QSize(24, 24));
        b->setIcon(WindowStyle::triangleIcon(left));
        return b;
    };
    previousYearButton_ = step(true);
    previousYearButton_->setObjectName(QStringLiteral("previousYearButton"));
    nextYearButton_ = step(false);
    nextYearButton_->setObjectName(QStringLiteral("nextYearButton"));
    yearLabel_ = WindowStyle::titleLabel(bar, "yearLabel", QStringLiteral("1996年"));
    barLayout->addWidget(previousYearButton_);
    barLayout->addWidget(nextYearButton_);
    barLayout->addSpacing(12);
    barLayout->addWidget(yearLabel_);
    barLayout->addStretch(1);
    frame.panelLayout->addWidget(bar);

    auto* split = new QSplitter(Qt::Vertical, frame.panel);
    table_ = new QTableWidget(split);
    table_->setObjectName(QStringLiteral("table"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectColumns);
    table_->setWordWrap(false);
    table_->setColumnCount(13);
    const QFont gridFont = WindowStyle::font(WindowStyle::Mincho, 13, true);
    table_->setFont(gridFont);
    table_->horizontalHeader()->setFont(gridFont);
    table_->verticalHeader()->setFont(gridFont);
    table_->horizontalHeader()->setDefaultSectionSize(80);
    table_->verticalHeader()->setDefaultSectionSize(22);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    // The charts come with the first year shown (buildCharts).
    chartPane_ = new QWidget(split);
    new QHBoxLayout(chartPane_);
    chartPane_->layout()->setContentsMargins(0, 0, 0, 0);
    split->addWidget(table_);
    split->addWidget(chartPane_);
    split->setSizes({360, 380});
    // A taller window gives its room to the charts; the table keeps every row.
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    frame.panelLayout->addWidget(split, 1);

    previousYearButton_->setAccessibleName(QStringLiteral("前の年"));
    nextYearButton_->setAccessibleName(QStringLiteral("次の年"));
    table_->setAccessibleName(QStringLiteral("年間一覧表"));
    WindowKeys::pageSteps(
        this, [this] { showPreviousYear(); }, [this] { showNextYear(); });
    connect(previousYearButton_, &QToolButton::clicked, this,
            guarded(this, &YearOverview::showPreviousYear));
    connect(nextYearButton_, &QToolButton::clicked, this,
            guarded(this, &YearOverview::showNextYear));
    connect(csvExportAction_, &QAction::triggered, this, guarded(this, &YearOverview::exportCsv));
    connect(recalculateAction_, &QAction::triggered, this,
            guarded(this, &YearOverview::recalculateBalances));
    connect(exitAction_, &QAction::triggered, this, &QDialog::accept);
    auto onColumn = [this](int column) {
        const int month = columnMonth(column);
        if (month) runGuarded([this, month] { monthDoubleClicked(month); });
    };
    connect(table_, &QTableWidget::cellDoubleClicked, this,
            [onColumn](int, int column) { onColumn(column); });
    connect(table_->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this, onColumn);
    // Enter on a month's column opens it, as a double click does.
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* open = new QShortcut(QKeySequence(key), table_, nullptr, nullptr, Qt::WidgetShortcut);
        connect(open, &QShortcut::activated, this,
                [this, onColumn] { onColumn(table_->currentColumn()); });
    }

    askPath_ = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(this, QStringLiteral("CSV出力"), suggested,
                                            QStringLiteral("CSV (*.csv)"));
    };
    // Fits a 1280 x 800 screen with its title bar and the desktop's panel.
    resize(1120, 720);
}

void YearOverview::setSavePathAsker(std::function<QString(const QString&)> ask) {
    askPath_ = std::move(ask);
}

int YearOverview::columnMonth(int column) const {
    return column >= 0 && column < 12 ? column + 1 : 0;
}

void YearOverview::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!e->spontaneous()) runGuarded([this] { showCalendarYear(); });
}

void YearOverview::showCalendarYear() {
    showYear(doc_->shownPeriod().year);
}

void YearOverview::showYear(int year) {
    if (year < 1 || year > 9999) return;
    year_ = year;
    yearLabel_->setText(QStringLiteral("%1年").arg(year));
    yearLabel_->adjustSize();
    // The book gives the month in memory with its edits, as in the model.
    const Book& book = doc_->book();
    const PeriodRule& rule = doc_->periodRule();
    if (rule.calendar()) {
        model_ = buildYearModel(doc_->files(), doc_->ledger(), book.ledgerDir(), year, heldMonth());
        budget_ = yearBudget(doc_->budget().plan, year, [&book](int y, int m) {
            return book.month({y, m});
        });
    } else {
        // Twelve periods, each month's column the period named after it.
        model_ = periodYearModel(doc_->files(), doc_->ledger(), book.ledgerDir(), year, rule,
                                 heldMonth());
        const BudgetPlan& plan = doc_->budget().plan;
        const MonthReader months = doc_->monthReader();
        budget_ = plan.empty() ? YearBudget{} : yearBudget([&](int m) {
            return periodBudgetSummary(plan, rule, {year, m}, 0, months);
        });
    }
    fill();
    fillCharts();
}

void YearOverview::showPreviousYear() {
    showYear(year_ - 1);
}

void YearOverview::showNextYear() {
    showYear(year_ + 1);
}

void YearOverview::showWholeTable() {
    // The table shows every row; the charts, which shrink well, take the rest.
    auto* split = qobject_cast<QSplitter*>(table_->parentWidget());
    if (!split) return;
    const int table = table_->horizontalHeader()->sizeHint().height() +
                      table_->verticalHeader()->defaultSectionSize() * table_->rowCount() +
                      table_->horizontalScrollBar()->sizeHint().height() +
                      2 * table_->frameWidth() + 2;
    const int all = std::max(split->height(), height() - 80);
    split->setSizes({table, std::max(all - table, 200)});
}

void YearOverview::fill() {
    std::vector<int> items;
    for (int i = 1; i <= ShownItems; ++i)
        if (!model_.names[i].empty()) items.push_back(i);
    std::vector<int> budgeted;
    for (int i : items)
        if (budget_.any && budget_.year[i].budgeted) budgeted.push_back(i);
    const int rows = static_cast<int>(items.size() + 3 * budgeted.size()) + 4;
    table_->clearContents();
    table_->setRowCount(rows);
    auto put = [this](int row, int col, const QString& text) {
        auto* cell = new QTableWidgetItem(text);
        cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table_->setItem(row, col, cell);
    };
    QStringList rowNames;
    for (int i : items)
        rowNames << qs(cp932ToUtf8Lossy(model_.names[i]));
    rowNames << QStringLiteral("収入") << QStringLiteral("支出") << QStringLiteral("収支")
             << QStringLiteral("残高");
    for (int i : budgeted) {
        const QString name = qs(cp932ToUtf8Lossy(model_.names[i]));
        rowNames << name + QStringLiteral(" 予算") << name + QStringLiteral(" 使った")
                 << name + QStringLiteral(" 残り");
    }
    table_->setVerticalHeaderLabels(rowNames);
    showWholeTable();
    const int totals = static_cast<int>(items.size());
    for (int m = 1; m <= 12; ++m) {
        const YearMonth& ym = model_.months[m];
        QString header = monthText(m);
        QStringList why;
        if (ym.state == MonthFileState::Unreadable) {
            header = QStringLiteral("×") + header;
            why << QStringLiteral("読めないため集計から除いています: ") + qs(ym.error);
        } else if (ym.stale) {
            header = QStringLiteral("※") + header;
            why << QStringLiteral("繰越が前月末の残高と一致しません (繰越を再計算で直せます)");
        }
        if (!ym.otherNames.empty()) {
            QStringList names;
            for (const std::string& n : ym.otherNames)
                names << qs(cp932ToUtf8Lossy(n));
            why << QStringLiteral("設定にない項目の行は数えていません: ") +
                       names.join(QStringLiteral("、"));
        }
        auto* head = new QTableWidgetItem(header);
        head->setToolTip(why.join(QLatin1Char('\n')));
        if (ym.state == MonthFileState::Unreadable || ym.stale)
            head->setForeground(Theme::warningInk(table_->palette(), QPalette::Button));
        table_->setHorizontalHeaderItem(m - 1, head);
        if (ym.state == MonthFileState::Unreadable) continue;
        for (int r = 0; r < totals; ++r)
            put(r, m - 1, amount(ym.net[items[static_cast<std::size_t>(r)]]));
        put(totals, m - 1, amount(ym.totalIncome));
        put(totals + 1, m - 1, amount(ym.totalExpense));
        put(totals + 2, m - 1, amount(ym.totalNet));
        if (ym.balanceKnown) put(totals + 3, m - 1, amount(ym.closing));
    }
    table_->setHorizontalHeaderItem(YearColumn, new QTableWidgetItem(QStringLiteral("年計")));
    for (int r = 0; r < totals; ++r)
        put(r, YearColumn, amount(model_.net[items[static_cast<std::size_t>(r)]]));
    put(totals, YearColumn, amount(model_.totalIncome));
    put(totals + 1, YearColumn, amount(model_.totalExpense));
    put(totals + 2, YearColumn, amount(model_.totalNet));
    int row = totals + 4;
    for (int i : budgeted) {
        auto line = [&](int col, const BudgetLine& l) {
            if (!l.budgeted) return;
            put(row, col, amount(l.budget));
            put(row + 1, col, amount(l.spent));
            put(row + 2, col, amount(l.remaining));
            if (l.over())
                table_->item(row + 2, col)->setForeground(Theme::warningInk(table_->palette()));
        };
        for (int m = 1; m <= 12; ++m)
            if (budget_.read[m]) line(m - 1, budget_.months[m].lines[i]);
        line(YearColumn, budget_.year[i]);
        row += 3;
    }
}

void YearOverview::buildCharts() {
    const LateParts& parts = lateParts();
    auto* layout = static_cast<QHBoxLayout*>(chartPane_->layout());
    expenseChart_ = parts.newChartView(chartPane_);
    expenseChart_->setObjectName(QStringLiteral("expenseChart"));
    balanceChart_ = parts.newChartView(chartPane_);
    balanceChart_->setObjectName(QStringLiteral("balanceChart"));
    expenseChart_->setAccessibleName(QStringLiteral("月別支出のグラフ"));
    balanceChart_->setAccessibleName(QStringLiteral("月末残高のグラフ"));
    layout->addWidget(expenseChart_, 3);
    layout->addWidget(balanceChart_, 2);
    // Made while the window shows: a layout alone would show them a turn late.
    expenseChart_->show();
    balanceChart_->show();
}

void YearOverview::fillCharts() {
    if (!expenseChart_) buildCharts();
    const QFont title = WindowStyle::font(WindowStyle::GothicP, 13, true);
    const QFont small = WindowStyle::font(WindowStyle::GothicP, 11, false);
    YearChartData data;
    data.year = year_;
    data.titleFont = &title;
    data.smallFont = &small;
    for (int i = 1; i <= ShownItems; ++i) {
        if (model_.names[i].empty()) continue;
        data.items.push_back(cp932ToUtf8Lossy(model_.names[i]));
        data.itemNumbers.push_back(i);
        std::array<double, 12> expense{};
        for (int m = 1; m <= 12; ++m)
            expense[m - 1] = model_.months[m].expense[i];
        data.expense.push_back(expense);
    }
    for (int m = 1; m <= 12; ++m) {
        data.totalExpense[m - 1] = model_.months[m].totalExpense;
        data.balanceKnown[m - 1] = model_.months[m].balanceKnown;
        data.closing[m - 1] = static_cast<double>(model_.months[m].closing);
    }
    const LateParts& parts = lateParts();
    parts.fillExpenseChart(expenseChart_, data);
    parts.fillBalanceChart(balanceChart_, data);
}

void YearOverview::monthDoubleClicked(int month) {
    // The period named after the month, from its first day unless shown.
    const PeriodName name{year_, month};
    const Date first = periodRange(doc_->periodRule(), name).first;
    if (doc_->shownPeriod() != name) doc_->goToDate(first.year, first.month, first.day);
    host_->showMonthlyList();
    showYear(year_);
}

void YearOverview::exportCsv() {
    const QString path = askPath_ ? askPath_(QStringLiteral("%1.csv").arg(year_)) : QString();
    if (path.isEmpty()) return;
    doc_->files().writeSafely(path.toStdString(), yearCsv(model_));
    ErrorBox::inform(ErrorBox::writtenText(QStringLiteral("CSV を書き出しました"), path));
}

HeldMonth YearOverview::heldMonth() const {
    return doc_->book().inMemory();
}

void YearOverview::recalculateBalances() {
    const std::string dir = doc_->book().ledgerDir();
    // Planned with the month in memory as it will be saved, so that the
    // chain starts from what the user sees and nothing is written before
    // the answer.
    const CarryRepairPlan plan =
        planCarryRepair(doc_->files(), doc_->ledger(), dir, year_, heldMonth());
    QString text;
    if (plan.months.empty()) {
        text = QStringLiteral("繰越を書き換える月はありません。");
    } else {
        text = QStringLiteral("次の月の繰越を再計算して、月のﾌｧｲﾙの合計欄を書き換えます。\n\n");
        for (const MonthKey& k : plan.months)
            text += qs(monthLabel(k.year, k.month)) + QLatin1Char('\n');
    }
    if (plan.stopsAt.year)
        text +=
            QStringLiteral("\n%1 は読めないため、その月から先は書き換えません: %2\n")
                .arg(qs(monthLabel(plan.stopsAt.year, plan.stopsAt.month)), qs(plan.stopReason));
    const bool none = plan.months.empty();
    const QMessageBox::StandardButton answer =
        Modal::ask(text, QStringLiteral("RecalcConfirm"),
                   none ? QMessageBox::Ok : QMessageBox::Yes | QMessageBox::No,
                   none ? QMessageBox::NoButton : QMessageBox::No,
                   none ? QMessageBox::Information : QMessageBox::Question, this);
    if (none || answer != QMessageBox::Yes) return;
    doc_->save();

    // The month in memory brings in the repaired balance from here on, or
    // its next save would put the old one back.
    struct Reload {
        YearOverview* self;
        ~Reload() {
            runGuarded([this] {
                if (!self->doc_->book().held()) self->doc_->loadMonths();
            });
            runGuarded([this] { self->showYear(self->year_); });
        }
    } reload{this};
    doc_->book().repairCarry(year_);
}
