#include "windows/schedule_window.h"

#include "ledger/amount_format.h"
#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/text_file.h"
#include "shell/book_document.h"
#include "shell/calendar.h"
#include "shell/error_box.h"
#include "shell/feature.h"
#include "shell/window_style.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const char* const Weekdays[] = {"日", "月", "火", "水", "木", "金", "土"};

QString ruleLabel(const ScheduleEntry& e) {
    QString rule;
    switch (e.rule) {
    case ScheduleRule::Day:
        rule = QStringLiteral("%1日").arg(e.day);
        break;
    case ScheduleRule::LastDay:
        rule = QStringLiteral("末日");
        break;
    case ScheduleRule::Weekday:
        rule = (e.nth == 5 ? QStringLiteral("最終") : QStringLiteral("第%1").arg(e.nth)) +
               QString::fromUtf8(Weekdays[e.wd]) + QStringLiteral("曜");
        break;
    }
    if (e.every == 12)
        rule = QStringLiteral("毎年 ") + rule;
    else if (e.every > 1)
        rule = QStringLiteral("%1か月ごと ").arg(e.every) + rule;
    if (e.shift == ScheduleShift::Before) rule += QStringLiteral(" (休日は前)");
    if (e.shift == ScheduleShift::After) rule += QStringLiteral(" (休日は後)");
    return rule;
}

QString amountLabel(const ScheduleEntry& e) {
    return e.ask ? QStringLiteral("都度") : QString::fromStdString(groupedAmount(e.amount));
}

QTableWidgetItem* cell(const QString& text, bool editable = false) {
    auto* item = new QTableWidgetItem(text);
    if (!editable) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

QTableWidget* table(QWidget* parent, const QStringList& headers) {
    auto* t = new QTableWidget(0, int(headers.size()), parent);
    t->setHorizontalHeaderLabels(headers);
    t->verticalHeader()->hide();
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

} // namespace

ScheduleCatchUp::ScheduleCatchUp(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("定期入力の確認"));
    setFont(WindowStyle::font(WindowStyle::GothicP, 14, false));
    auto* layout = new QVBoxLayout(this);
    table_ = table(this, {QStringLiteral("日付"), QStringLiteral("項目"), QStringLiteral("収支"),
                          QStringLiteral("金額"), QStringLiteral("入力")});
    table_->setObjectName(QStringLiteral("table"));
    table_->setAccessibleName(QStringLiteral("入力を待つ定期入力"));
    layout->addWidget(table_);
    auto* buttons = new QHBoxLayout;
    postAllButton_ = new QPushButton(QStringLiteral("すべて入力"), this);
    applyButton_ = new QPushButton(QStringLiteral("実行"), this);
    laterButton_ = new QPushButton(QStringLiteral("後で"), this);
    postAllButton_->setObjectName(QStringLiteral("postAllButton"));
    applyButton_->setObjectName(QStringLiteral("applyButton"));
    laterButton_->setObjectName(QStringLiteral("laterButton"));
    buttons->addStretch();
    for (QPushButton* b : {postAllButton_, applyButton_, laterButton_})
        buttons->addWidget(b);
    layout->addLayout(buttons);
    connect(postAllButton_, &QPushButton::clicked, this, [this] { postAll(); });
    connect(applyButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(laterButton_, &QPushButton::clicked, this, &QDialog::reject);
    resize(560, 360);
}

void ScheduleCatchUp::setRows(const std::vector<Row>& rows) {
    rows_ = rows;
    table_->setRowCount(int(rows.size()));
    bool waits = false;
    for (int i = 0; i < int(rows.size()); ++i) {
        const Row& r = rows[std::size_t(i)];
        table_->setItem(i, 0, cell(QString::fromStdString(isoDate(r.occurrence.date))));
        table_->setItem(i, 1, cell(QString::fromStdString(cp932ToUtf8Lossy(r.entry.item))));
        table_->setItem(i, 2,
                        cell(r.entry.expense ? QStringLiteral("支出") : QStringLiteral("収入")));
        table_->setItem(
            i, 3, cell(r.entry.ask ? QString() : QString::number(r.entry.amount), !r.automatic));
        if (r.automatic) {
            table_->setItem(i, 4, cell(QStringLiteral("自動")));
            continue;
        }
        waits = true;
        auto* action = new QComboBox(table_);
        action->addItems({QStringLiteral("入力"), QStringLiteral("ｽｷｯﾌﾟ"), QStringLiteral("後で")});
        // An amount to be asked has none yet: it waits until one is typed.
        if (r.entry.ask) action->setCurrentIndex(Later);
        table_->setCellWidget(i, 4, action);
    }
    table_->resizeColumnsToContents();
    postAllButton_->setEnabled(waits);
    applyButton_->setEnabled(waits);
}

void ScheduleCatchUp::setAction(int row, Action action) {
    if (auto* box = qobject_cast<QComboBox*>(table_->cellWidget(row, 4)))
        box->setCurrentIndex(action);
}

std::vector<PostingChoice> ScheduleCatchUp::choices() const {
    std::vector<PostingChoice> out;
    for (int i = 0; i < int(rows_.size()); ++i) {
        auto* box = qobject_cast<QComboBox*>(table_->cellWidget(i, 4));
        if (!box || box->currentIndex() == Later) continue;
        PostingChoice c;
        c.occurrence = rows_[std::size_t(i)].occurrence;
        c.skip = box->currentIndex() == Skip;
        if (!c.skip) {
            const std::string text = table_->item(i, 3)->text().trimmed().remove(',').toStdString();
            if (text.empty()) continue; // no amount given: it waits
            c.amount = parseInt32(text);
            if (c.amount < 0) throw AppError(msg::InvalidNumericInput);
        }
        out.push_back(c);
    }
    return out;
}

void ScheduleCatchUp::postAll() {
    for (int i = 0; i < table_->rowCount(); ++i)
        setAction(i, Post);
    accept();
}

ScheduleWindow::ScheduleWindow(CommandHost* host, std::function<Date()> today)
    : QDialog(host->mainWindow()), host_(host), doc_(&host->document()), today_(std::move(today)) {
    setWindowTitle(QStringLiteral("定期入力"));
    setFont(WindowStyle::font(WindowStyle::GothicP, 14, false));
    auto* layout = new QVBoxLayout(this);
    table_ = table(this, {QStringLiteral("項目"), QStringLiteral("収支"), QStringLiteral("金額"),
                          QStringLiteral("日"), QStringLiteral("入力"), QStringLiteral("次回")});
    table_->setObjectName(QStringLiteral("table"));
    table_->setAccessibleName(QStringLiteral("定期入力の一覧"));
    layout->addWidget(table_);
    auto* buttons = new QHBoxLayout;
    addButton_ = new QPushButton(QStringLiteral("追加..."), this);
    editButton_ = new QPushButton(QStringLiteral("変更..."), this);
    pauseButton_ = new QPushButton(QStringLiteral("休止/再開"), this);
    deleteButton_ = new QPushButton(QStringLiteral("削除"), this);
    addButton_->setObjectName(QStringLiteral("addButton"));
    editButton_->setObjectName(QStringLiteral("editButton"));
    pauseButton_->setObjectName(QStringLiteral("pauseButton"));
    deleteButton_->setObjectName(QStringLiteral("deleteButton"));
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    for (QPushButton* b : {addButton_, editButton_, pauseButton_, deleteButton_})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(addButton_, &QPushButton::clicked, this, guarded(this, &ScheduleWindow::addEntry));
    connect(editButton_, &QPushButton::clicked, this, guarded(this, &ScheduleWindow::editSelected));
    connect(pauseButton_, &QPushButton::clicked, this,
            guarded(this, &ScheduleWindow::pauseOrResumeSelected));
    connect(deleteButton_, &QPushButton::clicked, this,
            guarded(this, &ScheduleWindow::deleteSelected));
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    resize(640, 360);
    // The calendar's forecast and the daily sheet's note come from here.
    host->setDayNotes([this](const QDate& d, bool futureOnly) {
        return dayNote({d.year(), d.month(), d.day()}, futureOnly);
    });
}

std::string ScheduleWindow::path() const {
    return doc_->schedulePath();
}

bool ScheduleWindow::refresh() {
    if (!doc_->readSchedule()) return false;
    const Schedule& schedule = doc_->schedule();
    table_->setRowCount(int(schedule.entries.size()));
    for (int i = 0; i < int(schedule.entries.size()); ++i) {
        const ScheduleEntry& e = schedule.entries[std::size_t(i)];
        Occurrence next;
        QString nextText = e.paused ? QStringLiteral("休止中") : QStringLiteral("終了");
        // The first one not posted, which may lie before today (waiting).
        if (!e.paused && nextOccurrence(schedule, e, {1, 1, 1}, next))
            nextText = QString::fromStdString(isoDate(next.date));
        table_->setItem(i, 0, cell(QString::fromStdString(cp932ToUtf8Lossy(e.item))));
        table_->item(i, 0)->setData(Qt::UserRole, e.id);
        table_->setItem(i, 1, cell(e.expense ? QStringLiteral("支出") : QStringLiteral("収入")));
        table_->setItem(i, 2, cell(amountLabel(e)));
        table_->setItem(i, 3, cell(ruleLabel(e)));
        table_->setItem(i, 4,
                        cell(e.confirm || e.ask ? QStringLiteral("確認") : QStringLiteral("自動")));
        table_->setItem(i, 5, cell(nextText));
    }
    table_->resizeColumnsToContents();
    return true;
}

void ScheduleWindow::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    runGuarded([this] { refresh(); });
}

void ScheduleWindow::save() {
    doc_->writeSchedule();
    refresh();
}

int ScheduleWindow::selectedId() const {
    const int row = table_->currentRow();
    if (row < 0 || !table_->item(row, 0)) return 0;
    return table_->item(row, 0)->data(Qt::UserRole).toInt();
}

bool ScheduleWindow::editEntry(ScheduleEntry& e) {
    if (editor_) return editor_(e);
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("定期入力"));
    auto* form = new QFormLayout(&dialog);
    auto* item = new QComboBox(&dialog);
    for (int i = 1; i <= ShownItems; ++i)
        if (!doc_->ledger().Items[i].Name.empty())
            item->addItem(QString::fromStdString(cp932ToUtf8Lossy(doc_->ledger().Items[i].Name)),
                          QByteArray::fromStdString(doc_->ledger().Items[i].Name));
    item->setCurrentIndex(std::max(0, item->findData(QByteArray::fromStdString(e.item))));
    auto* kind = new QComboBox(&dialog);
    kind->addItems({QStringLiteral("収入"), QStringLiteral("支出")});
    kind->setCurrentIndex(e.expense ? 1 : 0);
    auto* amount = new QLineEdit(QString::number(e.amount), &dialog);
    auto* ask = new QCheckBox(QStringLiteral("金額はその都度"), &dialog);
    ask->setChecked(e.ask);
    auto* from = new QLineEdit(QStringLiteral("%1-%2").arg(e.fromYear).arg(e.fromMonth), &dialog);
    auto* rule = new QComboBox(&dialog);
    rule->addItems({QStringLiteral("日付"), QStringLiteral("末日"), QStringLiteral("第n曜日")});
    rule->setCurrentIndex(int(e.rule));
    auto* day = new QSpinBox(&dialog);
    day->setRange(1, 31);
    day->setValue(e.day);
    auto* nth = new QComboBox(&dialog);
    nth->addItems({QStringLiteral("第1"), QStringLiteral("第2"), QStringLiteral("第3"),
                   QStringLiteral("第4"), QStringLiteral("最終")});
    nth->setCurrentIndex(e.nth - 1);
    auto* wd = new QComboBox(&dialog);
    for (const char* w : Weekdays)
        wd->addItem(QString::fromUtf8(w) + QStringLiteral("曜"));
    wd->setCurrentIndex(e.wd);
    auto* every = new QSpinBox(&dialog);
    every->setRange(1, 120);
    every->setValue(e.every);
    auto* until =
        new QLineEdit(e.until.year ? QString::fromStdString(isoDate(e.until)) : QString(), &dialog);
    auto* shift = new QComboBox(&dialog);
    shift->addItems(
        {QStringLiteral("そのまま"), QStringLiteral("前の平日"), QStringLiteral("次の平日")});
    shift->setCurrentIndex(int(e.shift));
    auto* confirm = new QCheckBox(QStringLiteral("確認してから入力"), &dialog);
    confirm->setChecked(e.confirm);
    form->addRow(QStringLiteral("項目"), item);
    form->addRow(QStringLiteral("収支"), kind);
    form->addRow(QStringLiteral("金額"), amount);
    form->addRow(QString(), ask);
    form->addRow(QStringLiteral("開始 (年-月)"), from);
    form->addRow(QStringLiteral("日の決め方"), rule);
    form->addRow(QStringLiteral("日"), day);
    form->addRow(QStringLiteral("週"), nth);
    form->addRow(QStringLiteral("曜日"), wd);
    form->addRow(QStringLiteral("何か月ごと"), every);
    form->addRow(QStringLiteral("終了日 (空: なし)"), until);
    form->addRow(QStringLiteral("土日祝日"), shift);
    form->addRow(QString(), confirm);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(box);
    connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    Modal::exec(&dialog);
    if (dialog.result() != QDialog::Accepted) return false;
    ScheduleEntry edited = e;
    edited.item = item->currentData().toByteArray().toStdString();
    edited.expense = kind->currentIndex() == 1;
    edited.ask = ask->isChecked();
    edited.amount = edited.ask ? 0 : parseInt32(amount->text().trimmed().toStdString());
    Date first;
    if (!parseIsoDate(from->text().trimmed().toStdString() + "-1", first))
        throw AppError(msg::InvalidDate);
    edited.fromYear = first.year;
    edited.fromMonth = first.month;
    edited.rule = ScheduleRule(rule->currentIndex());
    edited.day = day->value();
    edited.nth = nth->currentIndex() + 1;
    edited.wd = wd->currentIndex();
    edited.every = every->value();
    edited.until = {};
    if (!until->text().trimmed().isEmpty() &&
        !parseIsoDate(until->text().trimmed().toStdString(), edited.until))
        throw AppError(msg::InvalidDate);
    edited.shift = ScheduleShift(shift->currentIndex());
    edited.confirm = confirm->isChecked();
    checkEntry(edited);
    e = edited;
    return true;
}

void ScheduleWindow::addEntry() {
    refresh();
    ScheduleEntry e;
    const Date today = today_();
    e.fromYear = today.year;
    e.fromMonth = today.month;
    e.day = today.day;
    if (!editEntry(e)) return;
    e.id = doc_->schedule().nextId();
    doc_->schedule().entries.push_back(e);
    save();
}

void ScheduleWindow::editSelected() {
    const int id = selectedId();
    for (ScheduleEntry& e : doc_->schedule().entries)
        if (e.id == id && editEntry(e)) return save();
}

void ScheduleWindow::pauseOrResumeSelected() {
    const int id = selectedId();
    for (ScheduleEntry& e : doc_->schedule().entries)
        if (e.id == id) {
            e.paused = !e.paused;
            return save();
        }
}

void ScheduleWindow::deleteSelected() {
    const int id = selectedId();
    if (id == 0) return;
    doc_->schedule().remove(id);
    save();
}

QString ScheduleWindow::dayNote(const Date& d, bool futureOnly) {
    if (futureOnly && dayNumber(d) <= dayNumber(today_())) return {};
    QStringList lines;
    for (const ScheduleEntry& e : doc_->schedule().entries) {
        if (e.paused) continue;
        for (const Occurrence& o : occurrencesBetween(e, d, d)) {
            const PostingRecord* r = doc_->schedule().record(o.entry, o.index);
            if (r && r->state == PostingState::Skipped) continue;
            lines << QString::fromStdString(cp932ToUtf8Lossy(e.item)) + QStringLiteral(" ") +
                         (e.expense ? QStringLiteral("-") : QStringLiteral("+")) +
                         (e.ask ? QStringLiteral("?")
                                : QString::fromStdString(groupedAmount(e.amount)));
        }
    }
    return lines.join('\n');
}

void ScheduleWindow::catchUp() {
    if (!refresh()) return;
    Book& book = doc_->book();
    QStringList problems;
    {
        BookDoor settling(book, "定期入力");
        for (const std::string& w :
             settlePending(doc_->files(), doc_->schedule(), path(), settling))
            problems << QString::fromStdString(w);
    }
    const std::vector<Occurrence> due = dueOccurrences(doc_->schedule(), today_());
    auto entryOf = [this](int id) {
        for (const ScheduleEntry& e : doc_->schedule().entries)
            if (e.id == id) return e;
        return ScheduleEntry{};
    };
    // Every due one is listed, the automatic ones too, so that no posting is
    // silent; the automatic ones go in whichever button closes the list.
    std::vector<ScheduleCatchUp::Row> rows;
    std::vector<PostingChoice> choices;
    for (const Occurrence& o : due) {
        const ScheduleEntry e = entryOf(o.entry);
        const bool automatic = !e.confirm && !e.ask;
        rows.push_back({o, e, automatic});
        if (automatic) choices.push_back({o, false, e.amount});
    }
    if (!rows.empty()) {
        ScheduleCatchUp dialog(this);
        dialog.setRows(rows);
        Modal::exec(&dialog);
        if (dialog.result() == QDialog::Accepted) {
            const std::vector<PostingChoice> chosen = dialog.choices();
            choices.insert(choices.end(), chosen.begin(), chosen.end());
        }
    }
    if (!choices.empty()) {
        BookDoor door(book, "定期入力");
        for (const PostingOutcome& out :
             postChoices(doc_->files(), doc_->schedule(), path(), choices, door))
            if (!out.posted && !out.choice.skip) problems << QString::fromStdString(out.error);
    }
    doc_->scheduleWritten();
    refresh();
    if (!problems.isEmpty())
        throw AppError(QStringLiteral("定期入力できなかったものがあります\n").toStdString() +
                       problems.join('\n').toStdString());
}
