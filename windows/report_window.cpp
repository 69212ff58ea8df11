#include "windows/report_window.h"

#include "late/item_colours.h"
#include "late/late_parts.h"
#include "ledger/amount_format.h"
#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "shell/book_document.h"
#include "shell/error_box.h"
#include "shell/feature.h"
#include "shell/theme.h"
#include "shell/window_keys.h"
#include "shell/window_style.h"
#include "windows/form_frame.h"

#include <QAction>
#include <QDate>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QShowEvent>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString qs(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QString amount(int64_t v) {
    return qs(groupedAmount(v));
}

QString itemName(const std::string& cp932) {
    return qs(cp932ToUtf8Lossy(cp932));
}

QString optionalAmount(const std::optional<int64_t>& v) {
    return v ? amount(*v) : QStringLiteral("―");
}

const char* const Weekdays[] = {"", "月", "火", "水", "木", "金", "土", "日"};

QString dayText(const Date& d) {
    const QDate q(d.year, d.month, d.day);
    return QStringLiteral("%1/%2/%3(%4)")
        .arg(d.year)
        .arg(d.month)
        .arg(d.day)
        .arg(QString::fromUtf8(Weekdays[q.isValid() ? q.dayOfWeek() : 0]));
}

// The late parts, or null with nothing said: the window says it in place.
const LateParts* loadLateParts() {
    try {
        return &lateParts();
    } catch (const AppError&) {
        return nullptr;
    }
}

} // namespace

ReportWindow::ReportWindow(CommandHost* host, std::function<Date()> today)
    : QDialog(host->mainWindow()), host_(host), doc_(&host->document()), today_(std::move(today)),
      partsLoader_(loadLateParts) {
    setObjectName(QStringLiteral("ReportWindow"));
    setWindowTitle(QStringLiteral("分析"));
    setFont(WindowStyle::font(WindowStyle::GothicP, 12, false));

    const FormFrame frame = buildFormFrame(this);
    QAction* exit = addCommand(frame.fileMenu, QStringLiteral("終了"), Qt::Key_X);
    connect(exit, &QAction::triggered, this, &QDialog::accept);

    auto* bar = new QWidget(frame.panel);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(0, 0, 4, 0);
    barLayout->setSpacing(0);
    auto step = [bar](bool left, const char* name, const QString& spoken) {
        auto* b = new QToolButton(bar);
        b->setObjectName(QLatin1String(name));
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(25, 25);
        b->setIconSize(QSize(24, 24));
        b->setIcon(WindowStyle::triangleIcon(left));
        b->setAccessibleName(spoken);
        return b;
    };
    QToolButton* back = step(true, "previousPeriodButton", QStringLiteral("前の期間"));
    QToolButton* forward = step(false, "nextPeriodButton", QStringLiteral("次の期間"));
    periodLabel_ = WindowStyle::titleLabel(bar, "periodLabel", QString());
    auto* countCaption = new QLabel(QStringLiteral("まとめる期間の数"), bar);
    countBox_ = new QSpinBox(bar);
    countBox_->setObjectName(QStringLiteral("periodCount"));
    countBox_->setRange(1, 24);
    countBox_->setAccessibleName(QStringLiteral("まとめる期間の数"));
    countCaption->setBuddy(countBox_);
    barLayout->addWidget(back);
    barLayout->addWidget(forward);
    barLayout->addSpacing(12);
    barLayout->addWidget(periodLabel_);
    barLayout->addStretch(1);
    barLayout->addWidget(countCaption);
    barLayout->addSpacing(6);
    barLayout->addWidget(countBox_);
    frame.panelLayout->addWidget(bar);

    summary_ = new QLabel(frame.panel);
    summary_->setObjectName(QStringLiteral("summary"));
    summary_->setContentsMargins(6, 4, 6, 4);
    summary_->setWordWrap(true);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    frame.panelLayout->addWidget(summary_);

    auto* rows = new QSplitter(Qt::Vertical, frame.panel);
    auto* top = new QSplitter(Qt::Horizontal, rows);
    chartPane_ = new QWidget(top);
    auto* chartLayout = new QVBoxLayout(chartPane_);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chartNote_ = new QLabel(chartPane_);
    chartNote_->setObjectName(QStringLiteral("chartNote"));
    chartNote_->setWordWrap(true);
    chartNote_->setAlignment(Qt::AlignCenter);
    chartNote_->hide();
    chartLayout->addWidget(chartNote_);

    table_ = new QTableWidget(top);
    table_->setObjectName(QStringLiteral("itemTable"));
    table_->setAccessibleName(QStringLiteral("項目別の支出"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setWordWrap(false);
    table_->setColumnCount(Columns);
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("項目"), QStringLiteral("今期"), QStringLiteral("前期"),
         QStringLiteral("増減"), QStringLiteral("増減%"), QStringLiteral("前年同期"),
         QStringLiteral("増減"), QStringLiteral("増減%"), QStringLiteral("12期平均"),
         QStringLiteral("増減"), QStringLiteral("増減%")});
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(22);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->installEventFilter(this);
    top->addWidget(chartPane_);
    top->addWidget(table_);
    top->setSizes({470, 700});

    auto* bottom = new QSplitter(Qt::Horizontal, rows);
    auto* drillPane = new QWidget(bottom);
    auto* drillLayout = new QVBoxLayout(drillPane);
    drillLayout->setContentsMargins(0, 0, 0, 0);
    drillCaption_ = new QLabel(QStringLiteral("項目を選ぶと、その日ごとの内訳が出ます"), drillPane);
    drillCaption_->setObjectName(QStringLiteral("drillCaption"));
    tree_ = new QTreeWidget(drillPane);
    tree_->setObjectName(QStringLiteral("drillTree"));
    tree_->setAccessibleName(QStringLiteral("日ごとの内訳"));
    tree_->setColumnCount(2);
    tree_->setHeaderLabels({QStringLiteral("日・内訳"), QStringLiteral("金額")});
    tree_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    tree_->header()->setStretchLastSection(false);
    tree_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    tree_->installEventFilter(this);
    drillCaption_->setBuddy(tree_);
    drillLayout->addWidget(drillCaption_);
    drillLayout->addWidget(tree_, 1);

    auto* soFarPane = new QWidget(bottom);
    soFarPane->setObjectName(QStringLiteral("soFarPane"));
    auto* soFarLayout = new QVBoxLayout(soFarPane);
    soFarLayout->setContentsMargins(0, 0, 0, 0);
    soFarLabel_ = new QLabel(soFarPane);
    soFarLabel_->setObjectName(QStringLiteral("soFarLabel"));
    soFarLabel_->setWordWrap(true);
    soFarLayout->addWidget(soFarLabel_);
    bottom->addWidget(drillPane);
    bottom->addWidget(soFarPane);
    bottom->setSizes({520, 580});
    rows->addWidget(top);
    rows->addWidget(bottom);
    rows->setSizes({380, 300});
    frame.panelLayout->addWidget(rows, 1);

    WindowKeys::pageSteps(
        this, [this] { stepPeriod(-1); }, [this] { stepPeriod(1); });
    connect(back, &QToolButton::clicked, this, [this] { runGuarded([this] { stepPeriod(-1); }); });
    connect(forward, &QToolButton::clicked, this,
            [this] { runGuarded([this] { stepPeriod(1); }); });
    connect(countBox_, &QSpinBox::valueChanged, this, [this](int n) {
        if (n != count_) runGuarded([this, n] { showPeriods(last_, n); });
    });
    connect(table_, &QTableWidget::currentCellChanged, this, [this](int row, int, int old, int) {
        if (row != old) runGuarded([this, row] { pickRow(row); });
    });
    connect(tree_, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* at, int) { runGuarded([this, at] { openDrilledDay(at); }); });
    // Fits a 1280 x 800 screen with its title bar and the desktop's panel.
    resize(1180, 720);
}

void ReportWindow::setChartParts(std::function<const LateParts*()> parts) {
    partsLoader_ = std::move(parts);
    partsTried_ = false;
    parts_ = nullptr;
}

void ReportWindow::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!e->spontaneous()) runGuarded([this] { showShownPeriod(); });
}

bool ReportWindow::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        if (enter && watched == tree_) {
            runGuarded([this] { openDrilledDay(tree_->currentItem()); });
            return true;
        }
        // Enter on an item's row goes into its days.
        if (enter && watched == table_) {
            runGuarded([this] { pickRow(table_->currentRow()); });
            if (tree_->topLevelItemCount() > 0) {
                tree_->setFocus();
                if (!tree_->currentItem()) tree_->setCurrentItem(tree_->topLevelItem(0));
            }
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}

void ReportWindow::showShownPeriod() {
    showPeriods(doc_->shownPeriod(), count_);
}

void ReportWindow::stepPeriod(int delta) {
    const PeriodName next = ::stepPeriod(last_, delta);
    if (next.year < 1 || next.year > 9999) return;
    showPeriods(next, count_);
}

void ReportWindow::showPeriods(const PeriodName& last, int count) {
    last_ = last;
    count_ = std::max(1, std::min(count, 24));
    if (countBox_->value() != count_) {
        const QSignalBlocker quiet(countBox_);
        countBox_->setValue(count_);
    }
    fill();
}

bool ReportWindow::loadCharts() {
    if (!partsTried_) {
        partsTried_ = true;
        parts_ = partsLoader_ ? partsLoader_() : nullptr;
        if (parts_) {
            donut_ = parts_->newChartView(chartPane_);
            donut_->setObjectName(QStringLiteral("donutChart"));
            donut_->setAccessibleName(QStringLiteral("項目別の支出のグラフ"));
            chartPane_->layout()->addWidget(donut_);
            soFarChart_ = parts_->newChartView(chartPane_);
            soFarChart_->setObjectName(QStringLiteral("soFarChart"));
            soFarChart_->setAccessibleName(QStringLiteral("今月これまでのグラフ"));
            soFarLabel_->parentWidget()->layout()->addWidget(soFarChart_);
            soFarChart_->setMinimumHeight(160);
            donut_->show();
            soFarChart_->show();
            chartNote_->hide();
        } else {
            chartNote_->setText(QStringLiteral("グラフの部品 (%1) が見つからないため、グラフは"
                                               "表示できません。一覧は使えます。")
                                    .arg(QLatin1String(LatePartsLibrary)));
            chartNote_->show();
        }
    }
    return parts_ != nullptr;
}

void ReportWindow::fill() {
    const PeriodName first = ::stepPeriod(last_, -(count_ - 1));
    const PeriodRule& rule = doc_->periodRule();
    QString title = qs(periodTitle(rule, first));
    if (count_ > 1) title += QStringLiteral(" 〜 ") + qs(periodTitle(rule, last_));
    periodLabel_->setText(title);
    periodLabel_->adjustSize();

    // Read again at every fill: the amounts, lines and marks may have changed.
    book_ = std::make_unique<ReportBook>(rule, doc_->reportSource(), doc_->reportMarks());
    report_ = book_->report(first, last_);
    slices_ = chartSlices(report_.items);
    soFar_ = book_->monthSoFar(last_, today_ ? today_() : Date{});

    // The summary: totals, the savings rate, what the marks left out.
    QStringList parts;
    const bool empty = report_.expense.now == 0 && report_.income.now == 0;
    if (empty)
        parts << QStringLiteral("この期間の記録がありません。");
    else
        parts << QStringLiteral("支出 %1　収入 %2　貯蓄率 %3")
                     .arg(amount(report_.expense.now), amount(report_.income.now),
                          qs(savingsRateText(report_.savings)));
    parts << QStringLiteral("%1年 (%2月まで) の貯蓄率 %3")
                 .arg(report_.last.year)
                 .arg(report_.last.month)
                 .arg(qs(savingsRateText(report_.year)));
    const MarkedTotals& m = report_.marked;
    QStringList left;
    if (m.excludedExpense || m.excludedIncome)
        left << QStringLiteral("集計対象外 支出 %1・収入 %2")
                    .arg(amount(m.excludedExpense), amount(m.excludedIncome));
    if (m.transferExpense || m.transferIncome)
        left << QStringLiteral("振替 出 %1・入 %2")
                    .arg(amount(m.transferExpense), amount(m.transferIncome));
    if (!left.isEmpty())
        parts << QStringLiteral("（含めていないもの: %1。残高には入っています）")
                     .arg(left.join(QStringLiteral("、")));
    QString text = parts.join(QStringLiteral("　"));
    for (const std::string& problem : report_.problems)
        text += QStringLiteral("\n") + qs(problem);
    summary_->setText(text);

    fillTable();
    fillCharts();
    // The drill-down follows the items it showed, when they are still there.
    const std::vector<std::string> items = drilled_;
    drilled_.clear();
    drillDays_.clear();
    tree_->clear();
    if (!items.empty()) drill(items, drillName_);
}

void ReportWindow::fillTable() {
    const QSignalBlocker quiet(table_);
    const int itemRows = static_cast<int>(report_.items.size());
    table_->clearContents();
    table_->setRowCount(itemRows + 2);
    const QColor warning = Theme::warningInk(palette());
    auto put = [this, &warning](int row, int col, const QString& text, bool right = true,
                                bool up = false) {
        auto* cell = new QTableWidgetItem(text);
        cell->setTextAlignment((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        // More spent than the base is shown in the warning colour.
        if (up) cell->setForeground(warning);
        table_->setItem(row, col, cell);
    };
    auto putRow = [&](int row, const QString& name, const Comparison& c, bool spending) {
        put(row, 0, name, false);
        put(row, 1, amount(c.now));
        int col = 2;
        for (const std::optional<int64_t>& base : {c.last, c.lastYear, c.average}) {
            const Change change = changeFrom(c.now, base);
            const bool up = spending && change.known && change.amount > 0;
            put(row, col, optionalAmount(base));
            put(row, col + 1, qs(changeAmountText(change)), true, up);
            put(row, col + 2, qs(changePercentText(change)), true, up);
            col += 3;
        }
    };
    for (int r = 0; r < itemRows; ++r) {
        const ReportItem& item = report_.items[std::size_t(r)];
        putRow(r, itemName(item.name), item.expense, true);
        const int slot = itemSlot(doc_->ledger(), item.name);
        table_->item(r, 0)->setData(Qt::DecorationRole, ItemColours::of(slot ? slot : r + 1));
    }
    putRow(itemRows, QStringLiteral("合計"), report_.expense, true);
    putRow(itemRows + 1, QStringLiteral("収入"), report_.income, false);
    for (int col = 0; col < Columns; ++col) {
        QFont bold = table_->item(itemRows, col)->font();
        bold.setBold(true);
        table_->item(itemRows, col)->setFont(bold);
    }
}

void ReportWindow::fillCharts() {
    const PeriodRule& rule = doc_->periodRule();
    // What the month so far says in words, with or without the chart.
    static const char* const Names[] = {"今期", "前期", "2期前", "3期前"};
    QStringList said;
    for (std::size_t k = 0; k < 4; ++k)
        said << QStringLiteral("%1 %2").arg(QString::fromUtf8(Names[k]),
                                            optionalAmount(soFar_.atDay[k]));
    if (soFar_.day == 0)
        soFarLabel_->setText(
            QStringLiteral("%1 はまだ始まっていません。").arg(qs(periodTitle(rule, last_))));
    else
        soFarLabel_->setText(QStringLiteral("期間の %1 日目までの支出: %2")
                                 .arg(soFar_.day)
                                 .arg(said.join(QStringLiteral(" ／ "))));
    if (!loadCharts()) return;

    const QFont title = WindowStyle::font(WindowStyle::GothicP, 13, true);
    const QFont small = WindowStyle::font(WindowStyle::GothicP, 11, false);
    DonutChartData donut;
    donut.title = "項目別の支出";
    donut.titleFont = &title;
    donut.smallFont = &small;
    for (std::size_t i = 0; i < slices_.size(); ++i) {
        const ChartSlice& s = slices_[i];
        const int slot = s.other ? 0 : itemSlot(doc_->ledger(), s.name);
        // "その他" in a grey that reads on a light or a dark chart.
        const QColor c = s.other ? Theme::muted(palette(), QPalette::Window)
                         : slot  ? ItemColours::of(slot)
                                 : ItemColours::of(int(i) + 1);
        donut.slices.push_back({cp932ToUtf8Lossy(s.name), double(s.amount), unsigned(c.rgb())});
    }
    donut.picked = [this](std::size_t i) { runGuarded([this, i] { pickSlice(i); }); };
    parts_->fillDonutChart(donut_, donut);

    DayLineChartData lines;
    lines.title = "今月これまで（累計）";
    lines.titleFont = &title;
    lines.smallFont = &small;
    static const int Colours[] = {1, 3, 5, 8};
    for (std::size_t k = 0; k < 4; ++k) {
        if (k > 0 && !soFar_.atDay[k]) continue; // no data: no line
        DayLineChartData::Line line;
        line.name = std::string(Names[k]) + " " + periodTitle(rule, soFar_.names[k]);
        for (int64_t v : soFar_.cumulative[k])
            line.perDay.push_back(double(v));
        line.rgb = unsigned(ItemColours::of(Colours[k]).rgb());
        line.bold = k == 0;
        lines.lines.push_back(std::move(line));
    }
    parts_->fillDayLineChart(soFarChart_, lines);
}

void ReportWindow::pickSlice(std::size_t index) {
    if (index >= slices_.size()) return;
    const ChartSlice& s = slices_[index];
    if (!s.other) {
        for (std::size_t r = 0; r < report_.items.size(); ++r)
            if (report_.items[r].name == s.name) {
                table_->setCurrentCell(int(r), 0);
                pickRow(int(r));
                return;
            }
        return;
    }
    // "その他" is the items past the ones the chart shows.
    std::vector<std::string> folded;
    for (std::size_t r = 0; r < report_.items.size(); ++r) {
        const ReportItem& item = report_.items[r];
        if (item.expense.now <= 0) continue;
        bool shown = false;
        for (const ChartSlice& c : slices_)
            shown = shown || (!c.other && c.name == item.name);
        if (!shown) folded.push_back(item.name);
    }
    drill(folded, QStringLiteral("その他"));
}

void ReportWindow::pickRow(int row) {
    if (row < 0 || row >= int(report_.items.size())) return;
    const std::string& name = report_.items[std::size_t(row)].name;
    drill({name}, itemName(name));
}

void ReportWindow::drill(const std::vector<std::string>& items, const QString& caption) {
    drilled_ = items;
    drillName_ = caption;
    drillDays_.clear();
    tree_->clear();
    if (!book_) return;
    int64_t total = 0;
    for (const std::string& item : items)
        for (DrillDay& d : book_->drillDown(report_.range, item))
            drillDays_.emplace_back(item, std::move(d));
    // Oldest first, whatever the item.
    std::stable_sort(drillDays_.begin(), drillDays_.end(),
                     [](const auto& a, const auto& b) { return a.second.day < b.second.day; });
    for (const auto& [item, d] : drillDays_) {
        total += d.amount;
        QString head = dayText(d.day);
        if (items.size() > 1) head += QStringLiteral("  ") + itemName(item);
        auto* day = new QTreeWidgetItem(tree_, {head, amount(d.amount)});
        const QVariant date = QDate(d.day.year, d.day.month, d.day.day);
        day->setData(0, Qt::UserRole, date);
        day->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        for (const EntryLine& l : d.lines) {
            const QString memo = itemName(l.memo);
            auto* line = new QTreeWidgetItem(
                day, {memo.isEmpty() ? QStringLiteral("（メモなし）") : memo, amount(l.amount)});
            line->setData(0, Qt::UserRole, date);
            line->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        }
        if (d.unlined != 0) {
            auto* rest =
                new QTreeWidgetItem(day, {QStringLiteral("（内訳なし）"), amount(d.unlined)});
            rest->setData(0, Qt::UserRole, date);
            rest->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        }
    }
    tree_->expandAll();
    drillCaption_->setText(QStringLiteral("%1 の内訳 (%2日、合計 %3)。Enter でその日を開きます")
                               .arg(caption)
                               .arg(drillDays_.size())
                               .arg(amount(total)));
}

void ReportWindow::openDrilledDay(QTreeWidgetItem* at) {
    if (!at) return;
    const QDate date = at->data(0, Qt::UserRole).toDate();
    if (!date.isValid()) return;
    doc_->goToDate(date.year(), date.month(), date.day());
    host_->showDailySheet();
    // What was changed on the sheet shows here.
    fill();
}
