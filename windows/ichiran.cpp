#include "windows/ichiran.h"

#include "ledger/amount_format.h"
#include "ledger/cp932.h"
#include "ledger/csv_export.h"
#include "ledger/errors.h"
#include "ledger/text_file.h"
#include "shell/calendar.h"
#include "shell/error_box.h"
#include "shell/window_style.h"
#include "shell/zadud.h"
#include "windows/form_frame.h"
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
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
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
    QPalette black = SG1->palette();
    black.setColor(QPalette::Text, Qt::black);
    black.setColor(QPalette::ButtonText, Qt::black);
    SG1->setPalette(black);
    // A cell with entry lines shows them when the mouse rests on it.
    SG1->tipSource = [this](int day, int item) {
        if (day < 1 || day > 31 || item < 1 || item > ShownItems) return QString();
        BookDocument& doc = form1_->document();
        return linesTip(doc.book().lines(doc.shownMonth()), doc.ledger(), item, day);
    };
    frame.panelLayout->addWidget(SG1);
    BudgetPanel = new QLabel(this);
    BudgetPanel->setObjectName(QStringLiteral("BudgetPanel"));
    BudgetPanel->setTextFormat(Qt::RichText);
    BudgetPanel->setContentsMargins(6, 2, 6, 4);
    BudgetPanel->hide();
    layout()->addWidget(BudgetPanel);

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

    // The design's outer size, 519 x 449, less a standard frame.
    move(110, 77);
    resize(511, 422);
}

void TForm7::FormActivate() {
    const MonthLedger& ledger = form1_->Ledger;
    // The month as a whole: no pace, which belongs to a day.
    const BudgetSummary budgets = form1_->document().monthBudget(0);
    BudgetPanel->setVisible(budgets.any);
    if (budgets.any) BudgetPanel->setText(budgetTable(budgets, ledger, false));
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
}

void TForm7::setSavePathAsker(std::function<QString(const QString&)> ask) {
    askPath_ = std::move(ask);
}

void TForm7::CsvExportClick() {
    const int year = form1_->document().year(), month = form1_->document().month();
    const QString path =
        askPath_
            ? askPath_(QStringLiteral("%1-%2.csv").arg(year).arg(month, 2, 10, QLatin1Char('0')))
            : QString();
    if (path.isEmpty()) return;
    const BudgetSummary budget = form1_->document().monthBudget(0);
    const std::vector<EntryLine>& lines = form1_->book().lines({year, month});
    writeFileSafely(path.toStdString(),
                    monthCsv(form1_->Ledger, year, month, &budget) + linesCsv(lines, year, month));
}

void TForm7::Exit1Click() {
    accept();
}

void TForm7::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!e->spontaneous()) runGuarded([this] { FormActivate(); });
}
