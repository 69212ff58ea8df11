#include "windows/statement_import.h"

#include "ledger/amount_format.h"
#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/statement_post.h"
#include "ledger/text_file.h"
#include "shell/book_document.h"
#include "shell/error_box.h"
#include "shell/feature.h"
#include "shell/theme.h"
#include "shell/window_style.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QString utf8(const std::string& s) {
    return QString::fromStdString(s);
}

QString amountText(const StatementRow& r) {
    return (r.income ? QStringLiteral("+") : QStringLiteral("-")) +
           QString::fromStdString(groupedAmount(r.amount));
}

QString stateText(const StatementRow& r) {
    switch (r.state) {
    case RowState::Problem:
        return utf8(r.problem);
    case RowState::ImportedBefore:
        return QStringLiteral("取込済み");
    case RowState::New:
        return r.item.empty() ? QStringLiteral("項目なし")
               : r.scheduled  ? QStringLiteral("定期入力済みかも")
                              : QString();
    }
    return {};
}

} // namespace

StatementImportWindow::StatementImportWindow(CommandHost* host)
    : QDialog(host->mainWindow()), host_(host), doc_(&host->document()) {
    setWindowTitle(QStringLiteral("明細の取り込み"));
    setFont(WindowStyle::font(WindowStyle::GothicP, 12, false));
    auto* layout = new QVBoxLayout(this);

    auto* columns = new QHBoxLayout;
    auto box = [&](QComboBox*& combo, const char* name, const QString& label) {
        combo = new QComboBox(this);
        combo->setObjectName(QString::fromLatin1(name));
        auto* caption = new QLabel(label, this);
        caption->setBuddy(combo); // its name for a screen reader
        columns->addWidget(caption);
        columns->addWidget(combo);
        connect(combo, QOverload<int>::of(&QComboBox::activated), this,
                guarded(this, &StatementImportWindow::columnsChanged));
    };
    box(dateColumn_, "dateColumn", QStringLiteral("日付"));
    box(descriptionColumn_, "descriptionColumn", QStringLiteral("内容"));
    box(amountColumn_, "amountColumn", QStringLiteral("金額"));
    box(incomeColumn_, "incomeColumn", QStringLiteral("入金"));
    box(expenseColumn_, "expenseColumn", QStringLiteral("出金"));
    box(signBox_, "signBox", QStringLiteral("正の金額"));
    signBox_->addItems({QStringLiteral("支出"), QStringLiteral("収入")});
    columns->addStretch();
    layout->addLayout(columns);

    auto* profile = new QHBoxLayout;
    auto* profileCaption = new QLabel(QStringLiteral("ﾌﾟﾛﾌｧｲﾙ名"), this);
    profile->addWidget(profileCaption);
    profileNameEdit_ = new QLineEdit(this);
    profileCaption->setBuddy(profileNameEdit_);
    profileNameEdit_->setObjectName(QStringLiteral("profileNameEdit"));
    profile->addWidget(profileNameEdit_);
    saveProfileButton_ = new QPushButton(QStringLiteral("ﾌﾟﾛﾌｧｲﾙ保存"), this);
    saveProfileButton_->setObjectName(QStringLiteral("saveProfileButton"));
    profile->addWidget(saveProfileButton_);
    profile->addWidget(new QLabel(QStringLiteral("規則のない行の項目"), this));
    defaultItemBox_ = new QComboBox(this);
    defaultItemBox_->setObjectName(QStringLiteral("defaultItemBox"));
    defaultItemBox_->setAccessibleName(QStringLiteral("規則のない行の項目"));
    profile->addWidget(defaultItemBox_);
    connect(defaultItemBox_, QOverload<int>::of(&QComboBox::activated), this,
            guarded(this, &StatementImportWindow::columnsChanged));
    profile->addStretch();
    layout->addLayout(profile);
    connect(saveProfileButton_, &QPushButton::clicked, this,
            guarded(this, &StatementImportWindow::saveProfile));

    table_ = new QTableWidget(0, 7, this);
    table_->setObjectName(QStringLiteral("table"));
    table_->setAccessibleName(QStringLiteral("取り込む明細"));
    table_->setHorizontalHeaderLabels({QStringLiteral("取込"), QStringLiteral("日付"),
                                       QStringLiteral("内容"), QStringLiteral("金額"),
                                       QStringLiteral("項目"), QStringLiteral("状態"),
                                       QStringLiteral("振替")});
    table_->horizontalHeader()->setSectionResizeMode(Description, QHeaderView::Stretch);
    table_->verticalHeader()->setVisible(false);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    // Tab leaves the table for the item boxes rather than walking its cells.
    table_->setTabKeyNavigation(false);
    layout->addWidget(table_, 1);
    connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (filling_) return;
        if (item->column() == Transfer) {
            runGuarded([&] { transferEdited(item->row(), item->checkState() == Qt::Checked); });
            return;
        }
        if (item->column() != Tick) return;
        runGuarded([&] {
            rows_.at(item->row()).ticked = item->checkState() == Qt::Checked;
            rowEdited(item->row());
        });
    });

    auto* bottom = new QHBoxLayout;
    statusLabel_ = new QLabel(this);
    statusLabel_->setObjectName(QStringLiteral("statusLabel"));
    bottom->addWidget(statusLabel_, 1);
    importButton_ = new QPushButton(QStringLiteral("取り込み"), this);
    cancelButton_ = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    importButton_->setObjectName(QStringLiteral("importButton"));
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    bottom->addWidget(importButton_);
    bottom->addWidget(cancelButton_);
    layout->addLayout(bottom);
    connect(importButton_, &QPushButton::clicked, this,
            guarded(this, &StatementImportWindow::importTicked));
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    resize(760, 480);
}

void StatementImportWindow::chooseFile() {
    const QString path =
        askFile_ ? askFile_()
                 : QFileDialog::getOpenFileName(this, QStringLiteral("明細の取り込み"), QString(),
                                                QStringLiteral("CSV (*.csv *.txt);;*"));
    if (path.isEmpty()) return;
    openFile(path);
    Modal::exec(this);
}

void StatementImportWindow::openFile(const QString& path) {
    statement_ = readStatement(doc_->files().read(path.toStdString()));
    files_ = readImportSideFiles(doc_->files(), doc_->book().ledgerDir());
    learnFromJournal(doc_->book(), files_.log);
    names_ = doc_->ledger();
    defaultItemBox_->clear();
    defaultItemBox_->addItem(QString(), QByteArray());
    for (int i = 1; i <= ShownItems; ++i)
        if (!names_.Items[i].Name.empty())
            defaultItemBox_->addItem(utf8(cp932ToUtf8Lossy(names_.Items[i].Name)),
                                     QByteArray::fromStdString(names_.Items[i].Name));
    std::string used;
    const ColumnChoice c = columnsFor(statement_, files_.profiles, "", &used);
    profileNameEdit_->setText(utf8(used));
    std::size_t widest = 0;
    for (const CsvRecord& r : statement_.records)
        widest = std::max(widest, r.fields.size());
    const CsvRecord* header = statement_.columns.headerRecord >= 0
                                  ? &statement_.records[statement_.columns.headerRecord]
                                  : nullptr;
    for (QComboBox* combo :
         {dateColumn_, descriptionColumn_, amountColumn_, incomeColumn_, expenseColumn_}) {
        combo->clear();
        combo->addItem(QStringLiteral("なし"), -1);
        for (std::size_t i = 0; i < widest; ++i) {
            QString label = QString::number(i + 1);
            if (header && i < header->fields.size()) label += ": " + utf8(header->fields[i]);
            combo->addItem(label, static_cast<int>(i));
        }
    }
    showChoice(c);
    rows_.clear();
    columnsChanged();
    for (const std::string& w : files_.warnings)
        ErrorBox::show(utf8(w));
}

ColumnChoice StatementImportWindow::choiceFromBoxes() const {
    ColumnChoice c;
    c.date = dateColumn_->currentData().toInt();
    c.description = descriptionColumn_->currentData().toInt();
    c.amount = amountColumn_->currentData().toInt();
    c.income = incomeColumn_->currentData().toInt();
    c.expense = expenseColumn_->currentData().toInt();
    c.positiveIsIncome = signBox_->currentIndex() == 1;
    c.headerRecord = shownHeader_;
    return c;
}

void StatementImportWindow::showChoice(const ColumnChoice& c) {
    auto set = [](QComboBox* combo, int col) { combo->setCurrentIndex(combo->findData(col)); };
    set(dateColumn_, c.date);
    set(descriptionColumn_, c.description);
    set(amountColumn_, c.amount);
    set(incomeColumn_, c.income);
    set(expenseColumn_, c.expense);
    signBox_->setCurrentIndex(c.positiveIsIncome ? 1 : 0);
    shownHeader_ = c.headerRecord;
}

void StatementImportWindow::columnsChanged() {
    ColumnChoice c = choiceFromBoxes();
    // One amount column wins over the pair: both cannot be read at once.
    if (c.amount >= 0) c.income = c.expense = -1;
    // What the user chose for a line stays when the columns are read again.
    std::vector<StatementRow> before = std::move(rows_);
    std::vector<bool> chosenBefore = std::move(chosen_);
    std::vector<bool> transferBefore = std::move(transferChosen_);
    rows_ = c.usable() ? statementRows(statement_, c) : std::vector<StatementRow>();
    matchRows(rows_, files_.log, files_.rules, names_,
              defaultItemBox_->currentData().toByteArray().toStdString());
    markScheduledRows(rows_, doc_->schedule());
    chosen_.assign(rows_.size(), false);
    transferChosen_.assign(rows_.size(), false);
    for (std::size_t i = 0; i < rows_.size(); ++i)
        for (std::size_t j = 0; j < before.size(); ++j) {
            if (before[j].line != rows_[i].line || rows_[i].state == RowState::Problem) continue;
            if (chosenBefore[j]) {
                rows_[i].item = before[j].item;
                rows_[i].ticked = before[j].ticked;
                chosen_[i] = true;
            }
            if (transferBefore[j]) {
                rows_[i].transfer = before[j].transfer;
                transferChosen_[i] = true;
            }
        }
    fillGrid();
}

void StatementImportWindow::fillGrid() {
    filling_ = true;
    table_->clearContents();
    table_->setRowCount(static_cast<int>(rows_.size()));
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
        const StatementRow& row = rows_[r];
        auto* tick = new QTableWidgetItem;
        tick->setFlags(row.state == RowState::Problem
                           ? Qt::ItemIsEnabled
                           : Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        tick->setCheckState(row.ticked ? Qt::Checked : Qt::Unchecked);
        table_->setItem(r, Tick, tick);
        auto text = [&](int col, const QString& s, Qt::Alignment align = Qt::AlignLeft) {
            auto* item = new QTableWidgetItem(s);
            item->setFlags(Qt::ItemIsEnabled);
            item->setTextAlignment(align | Qt::AlignVCenter);
            if (row.state != RowState::New || row.item.empty())
                item->setForeground(row.state == RowState::Problem
                                        ? Theme::warningInk(table_->palette())
                                        : Theme::muted(table_->palette()));
            table_->setItem(r, col, item);
        };
        text(Date, row.state == RowState::Problem && !row.year
                       ? QStringLiteral("%1行目").arg(row.line)
                       : QStringLiteral("%1/%2/%3").arg(row.year).arg(row.month).arg(row.day));
        text(Description, utf8(row.description).simplified());
        text(Amount, row.state == RowState::Problem ? QString() : amountText(row), Qt::AlignRight);
        text(State, stateText(row));
        if (row.state == RowState::Problem) continue;
        auto* transfer = new QTableWidgetItem;
        transfer->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        transfer->setCheckState(row.transfer ? Qt::Checked : Qt::Unchecked);
        transfer->setToolTip(QStringLiteral("口座の間の移し替え (カードの引き落としなど): "
                                            "収入にも支出にも数えません"));
        table_->setItem(r, Transfer, transfer);
        auto* combo = new QComboBox;
        combo->addItem(QString(), QByteArray());
        for (int i = 1; i <= ShownItems; ++i)
            if (!names_.Items[i].Name.empty())
                combo->addItem(utf8(cp932ToUtf8Lossy(names_.Items[i].Name)),
                               QByteArray::fromStdString(names_.Items[i].Name));
        combo->setCurrentIndex(std::max(0, combo->findData(QByteArray::fromStdString(row.item))));
        connect(combo, QOverload<int>::of(&QComboBox::activated), this, [this, r, combo] {
            runGuarded([&] {
                const std::string item = combo->currentData().toByteArray().toStdString();
                // Every row of the file with the same description goes there too.
                const std::string description = rows_.at(r).normalised;
                for (int k = 0; k < static_cast<int>(rows_.size()); ++k) {
                    StatementRow& row = rows_[k];
                    if (k != r && (row.state == RowState::Problem ||
                                   row.normalised != description || chosen_[k]))
                        continue;
                    row.item = item;
                    chosen_[k] = k == r || chosen_[k];
                    if (row.state == RowState::New) row.ticked = !row.item.empty();
                    if (auto* box = qobject_cast<QComboBox*>(table_->cellWidget(k, Item)))
                        box->setCurrentIndex(
                            std::max(0, box->findData(QByteArray::fromStdString(item))));
                    rowEdited(k);
                }
            });
        });
        table_->setCellWidget(r, Item, combo);
    }
    // Tab walks the rows' item boxes, from the table to the import button.
    QWidget* previous = table_;
    for (int r = 0; r < table_->rowCount(); ++r)
        if (QWidget* box = table_->cellWidget(r, Item)) {
            setTabOrder(previous, box);
            previous = box;
        }
    setTabOrder(previous, importButton_);
    table_->resizeColumnsToContents();
    table_->horizontalHeader()->setSectionResizeMode(Description, QHeaderView::Stretch);
    filling_ = false;
    rowEdited(-1);
}

void StatementImportWindow::rowEdited(int row) {
    if (row >= 0) {
        filling_ = true;
        StatementRow& r = rows_.at(row);
        if (r.ticked && r.item.empty()) r.ticked = false; // nowhere to post it
        table_->item(row, Tick)->setCheckState(r.ticked ? Qt::Checked : Qt::Unchecked);
        table_->item(row, State)->setText(stateText(r));
        filling_ = false;
    }
    int ticked = 0, before = 0, problems = 0;
    for (const StatementRow& r : rows_) {
        ticked += r.ticked;
        before += r.state == RowState::ImportedBefore;
        problems += r.state == RowState::Problem;
    }
    statusLabel_->setText(
        rows_.empty() ? QStringLiteral("日付と金額の列を選んでください")
                      : QStringLiteral("%1 行を取り込みます (取込済み %2 行、読めない行 %3 行)")
                            .arg(ticked)
                            .arg(before)
                            .arg(problems));
    importButton_->setEnabled(ticked > 0);
}

void StatementImportWindow::transferEdited(int row, bool transfer) {
    const std::string description = rows_.at(std::size_t(row)).normalised;
    filling_ = true;
    for (std::size_t k = 0; k < rows_.size(); ++k) {
        StatementRow& r = rows_[k];
        const bool same = int(k) == row || (r.state != RowState::Problem &&
                                            r.normalised == description && !transferChosen_[k]);
        if (!same) continue;
        r.transfer = transfer;
        transferChosen_[k] = transferChosen_[k] || int(k) == row;
        if (QTableWidgetItem* box = table_->item(int(k), Transfer))
            box->setCheckState(transfer ? Qt::Checked : Qt::Unchecked);
    }
    filling_ = false;
}

void StatementImportWindow::saveProfile() {
    const QString name = profileNameEdit_->text().trimmed();
    if (name.isEmpty()) throw AppError("ﾌﾟﾛﾌｧｲﾙ名を入力してください");
    ColumnChoice c = choiceFromBoxes();
    if (c.amount >= 0) c.income = c.expense = -1;
    if (!c.usable()) throw AppError(NoStatementTable);
    ImportProfiles profiles = files_.profiles;
    profiles.save({name.toStdString(), statementShape(statement_, c.headerRecord), c});
    const std::string path = joinPath(doc_->book().ledgerDir(), ImportProfilesFile);
    doc_->files().writeSafely(path, formatImportProfiles(profiles));
    files_.profiles = std::move(profiles);
    ErrorBox::inform(
        ErrorBox::writtenText(QStringLiteral("取り込みの設定「%1」を保存しました").arg(name),
                              QString::fromStdString(path)));
}

void StatementImportWindow::importTicked() {
    if (!post_) return;
    ImportSideFiles files = files_;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (chosen_[i]) learnRule(files.rules, rows_[i]);
        if (transferChosen_[i]) learnTransfer(files.rules, rows_[i]);
    }
    std::vector<StatementRow> rows = rows_;
    post_(rows, files);
    files_ = std::move(files);
    // Rows of a month that may not be changed were left out; say which.
    int refused = 0;
    std::string reason;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows_[i].ticked && !rows[i].ticked) {
            if (!refused++) reason = rows[i].problem;
            rows_[i] = rows[i];
        }
    fillGrid();
    if (refused)
        ErrorBox::show(
            QStringLiteral("%1 行は取り込めませんでした: %2").arg(refused).arg(utf8(reason)));
    accept();
}
