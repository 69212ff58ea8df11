#include "windows/ichiran.h"

#include "ledger/amount_format.h"
#include "ledger/cp932.h"
#include "ledger/csv_export.h"
#include "ledger/errors.h"
#include "ledger/period_sheet.h"
#include "ledger/text_file.h"
#include "shell/calendar.h"
#include "shell/error_box.h"
#include "shell/theme.h"
#include "shell/window_style.h"
#include "shell/zadud.h"
#include "windows/form_frame.h"
#include "windows/held_month.h"
#include "windows/hikei.h"
#include "windows/line_text.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QFileDialog>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QShowEvent>
#include <QVBoxLayout>
#include <utility>

// Serves the grid's cells to the view: row 0 and column 0 as the headers,
// the rest as the table.
class ListGridModel : public QAbstractTableModel {
public:
    ListGridModel(const ListGrid& grid, QObject* parent)
        : QAbstractTableModel(parent), grid_(grid) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : grid_.RowCount() - 1;
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : grid_.ColCount() - 1;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::DisplayRole) return grid_.cell(index.column() + 1, index.row() + 1);
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
        if (role == Qt::ToolTipRole && grid_.tipSource)
            return grid_.tipSource(index.column() + 1, index.row() + 1);
        return {};
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (role == Qt::DisplayRole)
            return o == Qt::Horizontal ? grid_.cell(section + 1, 0) : grid_.cell(0, section + 1);
        if (role == Qt::TextAlignmentRole) return int(Qt::AlignLeft | Qt::AlignVCenter);
        return {};
    }
    void reset(const std::function<void()>& change) {
        beginResetModel();
        change();
        endResetModel();
    }
    void changed() {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
        emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
        emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
    }

private:
    const ListGrid& grid_;
};

ListGrid::ListGrid(int colCount, int rowCount, QWidget* parent)
    : QTableView(parent), cols_(colCount), rows_(rowCount),
      cells_(static_cast<std::size_t>(colCount * rowCount)),
      model_(new ListGridModel(*this, this)) {
    setModel(model_);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setCornerButtonEnabled(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    // Rows that do not fit (a larger text size, the budget pane) scroll.
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setDefaultSectionSize(100);
    horizontalHeader()->setFixedHeight(24);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(24);
    verticalHeader()->setFixedWidth(100);
    verticalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

QString ListGrid::cell(int col, int row) const {
    if (col < 0 || col >= cols_ || row < 0 || row >= rows_) return {};
    return cells_[static_cast<std::size_t>(row * cols_ + col)];
}

void ListGrid::setCell(int col, int row, const QString& text) {
    if (col < 0 || col >= cols_ || row < 0 || row >= rows_) return;
    cells_[static_cast<std::size_t>(row * cols_ + col)] = text;
}

void ListGrid::refresh() {
    model_->changed();
}

void ListGrid::setColCount(int cols) {
    if (cols == cols_) return;
    model_->reset([this, cols] {
        cols_ = cols;
        cells_.assign(static_cast<std::size_t>(cols_ * rows_), QString());
    });
}

TForm7::TForm7(TForm1* form1) : QDialog(form1), form1_(form1) {
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("月別一覧"));
    setFont(WindowStyle::font(WindowStyle::GothicP, 12, false));

    const FormFrame frame = buildFormFrame(this);
    MainMenu1 = frame.menuBar;
    File1 = frame.fileMenu;
    Print1 = addCommand(File1, QStringLiteral("印刷..."), Qt::Key_P);
    Pdf1 = File1->addAction(QStringLiteral("PDF出力..."));
    CsvExport = File1->addAction(QStringLiteral("CSV出力..."));
    File1->addSeparator();
    Exit1 = addCommand(File1, QStringLiteral("終了"), Qt::Key_X);
    Panel1 = frame.panel;
    SG1 = new ListGrid(32, 15, Panel1);
    SG1->setObjectName(QStringLiteral("SG1"));
    const QFont gridFont = WindowStyle::font(WindowStyle::Mincho, 13, true);
    SG1->setFont(gridFont);
    SG1->horizontalHeader()->setFont(gridFont);
    SG1->verticalHeader()->setFont(gridFont);
    Theme::useInk(SG1);
    HeldNotice = new QLabel(Panel1);
    HeldNotice->setObjectName(QStringLiteral("HeldNotice"));
    HeldNotice->setWordWrap(true);
    HeldNotice->setContentsMargins(6, 4, 6, 4);
    HeldNotice->hide();
    frame.panelLayout->addWidget(HeldNotice);
    // A cell with entry lines shows them when the mouse rests on it.
    SG1->tipSource = [this](int day, int item) {
        BookDocument& doc = form1_->document();
        // A period's columns are its days, not the shown month's.
        if (!doc.periodRule().calendar()) return QString();
        if (day < 1 || day > 31 || item < 1 || item > ShownItems) return QString();
        return linesTip(doc.book().lines(doc.shownMonth()), doc.ledger(), item, day);
    };
    frame.panelLayout->addWidget(SG1);
    BudgetPanel = new QLabel(this);
    BudgetPanel->setObjectName(QStringLiteral("BudgetPanel"));
    BudgetPanel->setTextFormat(Qt::RichText);
    BudgetPanel->setContentsMargins(6, 2, 6, 4);
    BudgetPanel->hide();
    layout()->addWidget(BudgetPanel);

    SG1->setAccessibleName(QStringLiteral("月別一覧表"));
    connect(Exit1, &QAction::triggered, this, guarded(this, &TForm7::Exit1Click));
    connect(CsvExport, &QAction::triggered, this, guarded(this, &TForm7::CsvExportClick));
    askPath_ = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(this, QStringLiteral("CSV出力"), suggested,
                                            QStringLiteral("CSV (*.csv)"));
    };
    // The main window prints its month in memory, which is what the list shows.
    // Its entries are the printout feature's, when it is installed.
    for (auto [mine, name] : {std::pair{Print1, "print"}, std::pair{Pdf1, "pdf"}}) {
        QAction* main = form1->findChild<QAction*>(QLatin1String(name));
        mine->setEnabled(main && main->isEnabled());
        if (!main) continue;
        connect(mine, &QAction::triggered, main, &QAction::trigger);
        connect(main, &QAction::enabledChanged, mine, &QAction::setEnabled);
    }

    // The design's height, less a standard frame; wide enough for a week
    // of days beside the names.
    move(110, 77);
    resize(911, 422);
}

void TForm7::FormActivate() {
    const MonthLedger& ledger = form1_->Ledger;
    setWindowTitle(QStringLiteral("月別一覧  %1年%2月")
                       .arg(form1_->document().year())
                       .arg(form1_->document().month()));
    // A held month says which file and why, and leaves out what it cannot
    // show as the month's.
    const HeldView held = heldView(form1_->book());
    HeldNotice->setVisible(held.held);
    HeldNotice->setText(held.notice);
    if (!held.figures) {
        BudgetPanel->hide();
        for (int d = 1; d <= 31; ++d) {
            SG1->setCell(d, 0, QStringLiteral("     %1  日").arg(d));
            for (int row = 1; row <= BalanceRow; ++row)
                SG1->setCell(d, row, QString());
        }
        for (int e = 1; e <= 12; ++e)
            SG1->setCell(0, e, QString::fromStdString(cp932ToUtf8Lossy(ledger.Items[e].Name)));
        SG1->setCell(0, DayTotalRow, QStringLiteral("   日  計"));
        SG1->setCell(0, BalanceRow, QStringLiteral("   残  高"));
        SG1->refresh();
        return;
    }
    // The month as a whole: no pace, which belongs to a day.
    const BudgetSummary budgets = form1_->document().monthBudget(0);
    BudgetPanel->setVisible(budgets.any);
    if (budgets.any) BudgetPanel->setText(budgetTable(budgets, ledger, false));
    const BookDocument& doc = form1_->document();
    if (!doc.periodRule().calendar()) {
        setWindowTitle(QStringLiteral("月別一覧  ") +
                       QString::fromStdString(periodTitle(doc.periodRule(), doc.shownPeriod())));
        return showPeriod(periodSheet(doc.shownRange(), doc.monthReader()));
    }
    SG1->setColCount(32);
    // The cells written up to an overflow show; the rest keep their texts.
    struct Refresh {
        ListGrid* grid;
        ~Refresh() { grid->refresh(); }
    } refresh{SG1};

    QString names[13];
    for (int e = 1; e <= 12; ++e)
        names[e] = QString::fromStdString(cp932ToUtf8Lossy(ledger.Items[e].Name));
    auto amount = [](int32_t value) {
        const std::string text = AmountFmt(value);
        return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    };

    int32_t runningBalance = 0;
    for (int e = 1; e <= 12; ++e)
        runningBalance = checkedAdd(runningBalance, ledger.CarryOver[e]);
    SG1->setCell(0, DayTotalRow, QStringLiteral("   日  計"));
    SG1->setCell(0, BalanceRow, QStringLiteral("   残  高"));
    for (int d = 1; d <= 31; ++d) {
        const QString header = QStringLiteral("     %1  日").arg(d);
        int32_t dayNet = 0;
        for (int e = 1; e <= 12; ++e) {
            SG1->setCell(0, e, names[e]);
            SG1->setCell(d, 0, header);
            const DayCell& cell = ledger.Items[e].Days[d];
            const int32_t net = checkedSub(cell.Income, cell.Expense);
            SG1->setCell(d, e, amount(net));
            dayNet = checkedAdd(dayNet, net);
        }
        SG1->setCell(d, DayTotalRow, amount(dayNet));
        runningBalance = checkedAdd(runningBalance, dayNet);
        SG1->setCell(d, BalanceRow, amount(runningBalance));
    }
    // Without the previous month there is no carry-over to start from.
    if (!held.balance)
        for (int d = 1; d <= 31; ++d)
            SG1->setCell(d, BalanceRow, QString());
}

void TForm7::showPeriod(const PeriodSheet& sheet) {
    SG1->setColCount(int(sheet.dates.size()) + 1);
    struct Refresh {
        ListGrid* grid;
        ~Refresh() { grid->refresh(); }
    } refresh{SG1};
    SG1->setCell(0, DayTotalRow, QStringLiteral("   日  計"));
    SG1->setCell(0, BalanceRow, QStringLiteral("   残  高"));
    for (int e = 1; e <= ShownItems; ++e)
        SG1->setCell(0, e, QString::fromStdString(cp932ToUtf8Lossy(sheet.names[e])));
    auto amount = [](int32_t value) {
        const std::string text = AmountFmt(value);
        return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    };
    for (std::size_t i = 0; i < sheet.dates.size(); ++i) {
        const int col = int(i) + 1;
        const Date& d = sheet.dates[i];
        SG1->setCell(col, 0, QStringLiteral("   %1/%2").arg(d.month).arg(d.day));
        for (int e = 1; e <= ShownItems; ++e)
            SG1->setCell(col, e, amount(sheet.net[i][e]));
        SG1->setCell(col, DayTotalRow, amount(sheet.dayTotal[i]));
        SG1->setCell(col, BalanceRow, amount(sheet.balance[i]));
    }
}

void TForm7::setSavePathAsker(std::function<QString(const QString&)> ask) {
    askPath_ = std::move(ask);
}

void TForm7::CsvExportClick() {
    // Named after the period shown (the calendar month by default).
    const PeriodName shown = form1_->document().shownPeriod();
    const int year = shown.year, month = shown.month;
    const QString path =
        askPath_
            ? askPath_(QStringLiteral("%1-%2.csv").arg(year).arg(month, 2, 10, QLatin1Char('0')))
            : QString();
    if (path.isEmpty()) return;
    const BookDocument& doc = form1_->document();
    const BudgetSummary budget = doc.monthBudget(0);
    if (!doc.periodRule().calendar()) {
        doc.files().writeSafely(
            path.toStdString(),
            periodCsv(periodSheet(doc.shownRange(), doc.monthReader()), &budget));
    } else {
        const std::vector<EntryLine>& lines = form1_->book().lines({year, month});
        doc.files().writeSafely(path.toStdString(), monthCsv(form1_->Ledger, year, month, &budget) +
                                                        linesCsv(lines, year, month));
    }
    ErrorBox::inform(ErrorBox::writtenText(QStringLiteral("CSV を書き出しました"), path));
}

void TForm7::Exit1Click() {
    accept();
}

void TForm7::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!e->spontaneous()) runGuarded([this] { FormActivate(); });
}
