#include "windows/sheet_lines.h"

#include "controls/string_grid.h"
#include "ledger/amount_format.h"
#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "shell/book_document.h"
#include "shell/error_box.h"
#include "windows/line_text.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString utf8(const std::string& cp932) {
    return QString::fromStdString(cp932ToUtf8Lossy(cp932));
}

QString grouped(int64_t v) {
    return QString::fromStdString(groupedAmount(v));
}

} // namespace

bool readLineAmount(const QString& typed, LineSide& side, int32_t& amount) {
    QString text = typed.normalized(QString::NormalizationForm_KC).trimmed();
    side = LineSide::Expense;
    if (text.startsWith(QLatin1Char('+'))) {
        side = LineSide::Income;
        text = text.mid(1);
    }
    static const QRegularExpression shape(
        QStringLiteral("^([0-9]{1,10}|[0-9]{1,3}(?:,[0-9]{3}){1,3})$"));
    if (!shape.match(text).hasMatch()) return false;
    const qlonglong v = text.remove(QLatin1Char(',')).toLongLong();
    if (v < 1 || v > INT32_MAX) return false;
    amount = static_cast<int32_t>(v);
    return true;
}

SheetLines::SheetLines(BookDocument& document, QWidget* parent) : QWidget(parent), doc_(document) {
    setObjectName(QStringLiteral("SheetLines"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->setSpacing(2);
    auto* title = new QLabel(QStringLiteral("内訳"), this);
    layout->addWidget(title);

    lineList_ = new QTableWidget(0, 3, this);
    lineList_->setObjectName(QStringLiteral("lineList"));
    lineList_->setHorizontalHeaderLabels(
        {QStringLiteral("項目"), QStringLiteral("金額"), QStringLiteral("ﾒﾓ")});
    lineList_->verticalHeader()->hide();
    lineList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lineList_->setSelectionBehavior(QAbstractItemView::SelectRows);
    lineList_->setSelectionMode(QAbstractItemView::SingleSelection);
    lineList_->horizontalHeader()->setStretchLastSection(true);
    lineList_->setColumnWidth(0, 80);
    lineList_->setColumnWidth(1, 90);
    lineList_->verticalHeader()->setDefaultSectionSize(20);
    // Five lines in view; the grid above keeps its rows.
    lineList_->setFixedHeight(5 * 20 + 24);
    lineList_->setAccessibleName(QStringLiteral("その日の内訳"));
    lineList_->installEventFilter(this);
    layout->addWidget(lineList_);

    auto* entry = new QHBoxLayout;
    entry->setSpacing(2);
    itemBox_ = new QComboBox(this);
    itemBox_->setObjectName(QStringLiteral("lineItem"));
    itemBox_->setAccessibleName(QStringLiteral("内訳の項目"));
    amountEdit_ = new QLineEdit(this);
    amountEdit_->setObjectName(QStringLiteral("lineAmount"));
    amountEdit_->setAccessibleName(QStringLiteral("内訳の金額"));
    amountEdit_->setPlaceholderText(QStringLiteral("金額 (収入は +)"));
    amountEdit_->setAlignment(Qt::AlignRight);
    amountEdit_->setFixedWidth(90);
    memoEdit_ = new QLineEdit(this);
    memoEdit_->setObjectName(QStringLiteral("lineMemo"));
    memoEdit_->setAccessibleName(QStringLiteral("内訳のﾒﾓ"));
    memoEdit_->setPlaceholderText(QStringLiteral("品名・店 #ﾀｸﾞ"));
    for (QWidget* w : std::initializer_list<QWidget*>{itemBox_, amountEdit_, memoEdit_}) {
        entry->addWidget(w, w == memoEdit_ ? 1 : 0);
        w->installEventFilter(this);
    }
    layout->addLayout(entry);
    noteLabel_ = new QLabel(this);
    noteLabel_->setObjectName(QStringLiteral("lineNote"));
    noteLabel_->setWordWrap(true);
    layout->addWidget(noteLabel_);

    setTabOrder(itemBox_, amountEdit_);
    setTabOrder(amountEdit_, memoEdit_);
    setTabOrder(memoEdit_, lineList_);
    connect(amountEdit_, &QLineEdit::returnPressed, this,
            [this] { runGuarded([this] { enterLine(); }); });
    connect(memoEdit_, &QLineEdit::returnPressed, this,
            [this] { runGuarded([this] { enterLine(); }); });
}

bool SheetLines::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, e);
    const int key = static_cast<QKeyEvent*>(e)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (watched == lineList_ && enter) {
        runGuarded([this] { takeSelected(); });
        return true;
    }
    if (watched == lineList_ && key == Qt::Key_Delete) {
        runGuarded([this] { deleteSelected(); });
        return true;
    }
    if (watched == itemBox_ && enter) {
        amountEdit_->setFocus(Qt::TabFocusReason);
        return true;
    }
    if (key == Qt::Key_Escape && changing_ >= 0) {
        cancelChange();
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

void SheetLines::refresh(StringGrid* sheet, bool cellsShown) {
    Book& book = doc_.book();
    const MonthKey month = doc_.shownMonth();
    const int day = doc_.day();
    const MonthLedger& ledger = doc_.ledger();

    const QString picked = itemBox_->currentText();
    itemBox_->clear();
    for (int i = 1; i <= ShownItems; ++i)
        if (!ledger.Items[i].Name.empty()) itemBox_->addItem(utf8(ledger.Items[i].Name), i);
    const int keep = itemBox_->findText(picked);
    if (keep >= 0) itemBox_->setCurrentIndex(keep);

    const std::vector<EntryLine>& lines = book.lines(month);
    for (const std::string& problem : book.takeLineProblems())
        ErrorBox::show(QString::fromStdString(problem));
    rows_.clear();
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].day == day) rows_.push_back(i);
    lineList_->setRowCount(static_cast<int>(rows_.size()));
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
        const EntryLine& l = lines[rows_[static_cast<std::size_t>(r)]];
        auto* amount = new QTableWidgetItem(
            (l.side == LineSide::Income ? QStringLiteral("+") : QString()) + grouped(l.amount));
        amount->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        lineList_->setItem(r, 0, new QTableWidgetItem(utf8(l.item)));
        lineList_->setItem(r, 1, amount);
        lineList_->setItem(r, 2, new QTableWidgetItem(utf8(l.memo)));
    }
    if (changing_ >= 0 && static_cast<std::size_t>(changing_) >= lines.size()) clearEntry();

    // The day's cells as lines and the rest; a cell whose lines add up to
    // more than it holds was changed by other means, and says by how much.
    QStringList notes;
    for (int i = 1; i <= ShownItems; ++i) {
        if (!cellsShown && sheet) {
            sheet->setMarked(1, i, false);
            sheet->setMarked(2, i, false);
        }
        if (ledger.Items[i].Name.empty() || !cellsShown) continue;
        for (const LineSide side : {LineSide::Income, LineSide::Expense}) {
            const int col = side == LineSide::Income ? 1 : 2;
            const CellParts parts = cellParts(lines, ledger, ledger.Items[i].Name, day, side);
            if (sheet) sheet->setMarked(col, i, parts.lined > 0);
            if (parts.lined == 0) continue;
            const QString what =
                utf8(ledger.Items[i].Name) +
                (side == LineSide::Income ? QStringLiteral(" 収入") : QStringLiteral(" 支出"));
            if (parts.unlined < 0)
                notes << QStringLiteral("%1: 内訳の合計 %2 が金額より %3 多くなっています")
                             .arg(what, grouped(parts.lined), grouped(-parts.unlined));
            else if (parts.unlined > 0)
                notes << QStringLiteral("%1: 内訳なし %2").arg(what, grouped(parts.unlined));
        }
    }
    for (const LineMismatch& m : lineMismatches(lines, ledger))
        if (!m.itemFound && m.cell.day == day)
            notes << QStringLiteral("「%1」の内訳 %2: この項目は今の設定にありません")
                         .arg(utf8(m.cell.item), grouped(m.lined));
    if (sheet)
        sheet->setToolTipSource([this, cellsShown](int col, int row) {
            if (!cellsShown || col < 1 || col > 2 || row < 1 || row > ShownItems) return QString();
            return linesTip(doc_.book().lines(doc_.shownMonth()), doc_.ledger(), row, doc_.day());
        });
    noteLabel_->setText(notes.join(QLatin1Char('\n')));
    noteLabel_->setVisible(!notes.isEmpty());
}

EntryLine SheetLines::typedLine() const {
    EntryLine line;
    line.day = doc_.day();
    if (itemBox_->currentIndex() < 0) throw AppError("内訳の項目を選んでください");
    // The name's own bytes, not the text shown: a name need not read back.
    line.item = doc_.ledger().Items[itemBox_->currentData().toInt()].Name;
    if (!readLineAmount(amountEdit_->text(), line.side, line.amount))
        throw AppError("内訳の金額は 1 以上の整数で入力してください (収入は +1,000)");
    line.memo = utf8ToCp932Exact(memoEdit_->text().toStdString(), "内訳のﾒﾓ");
    return line;
}

void SheetLines::enterLine() {
    EntryLine line = typedLine();
    Book& book = doc_.book();
    const MonthKey month = doc_.shownMonth();
    if (changing_ >= 0) {
        const EntryLine& old = book.lines(month).at(static_cast<std::size_t>(changing_));
        line.origin = old.origin;
        line.source = old.source;
        book.changeLine(month, static_cast<std::size_t>(changing_), line, ChangeSource::Typed);
    } else {
        book.addLine(month, line, ChangeSource::Typed);
    }
    clearEntry();
    if (changed) changed();
    itemBox_->setFocus(Qt::OtherFocusReason);
}

void SheetLines::takeSelected() {
    const int r = lineList_->currentRow();
    if (r < 0 || r >= static_cast<int>(rows_.size())) return;
    const EntryLine& l = doc_.book().lines(doc_.shownMonth())[rows_[static_cast<std::size_t>(r)]];
    changing_ = static_cast<int>(rows_[static_cast<std::size_t>(r)]);
    itemBox_->setCurrentIndex(itemBox_->findText(utf8(l.item)));
    amountEdit_->setText((l.side == LineSide::Income ? QStringLiteral("+") : QString()) +
                         grouped(l.amount));
    memoEdit_->setText(utf8(l.memo));
    amountEdit_->setFocus(Qt::OtherFocusReason);
    amountEdit_->selectAll();
}

void SheetLines::deleteSelected() {
    const int r = lineList_->currentRow();
    if (r < 0 || r >= static_cast<int>(rows_.size())) return;
    doc_.book().removeLine(doc_.shownMonth(), rows_[static_cast<std::size_t>(r)],
                           ChangeSource::Typed);
    clearEntry();
    if (changed) changed();
    lineList_->setFocus(Qt::OtherFocusReason);
    lineList_->selectRow(std::min(r, lineList_->rowCount() - 1));
}

void SheetLines::cancelChange() {
    clearEntry();
    lineList_->setFocus(Qt::OtherFocusReason);
}

void SheetLines::clearEntry() {
    changing_ = -1;
    amountEdit_->clear();
    memoEdit_->clear();
}
