#include "windows/budget_window.h"

#include "controls/NewNumEdit.h"
#include "ledger/budget_plan.h"
#include "ledger/cp932.h"
#include "shell/book_document.h"
#include "shell/calendar.h"
#include "shell/close_question.h"
#include "shell/error_box.h"
#include "shell/feature.h"
#include "shell/window_keys.h"
#include "shell/window_style.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

TNewNumEdit* amountEdit(QWidget* parent) {
    auto* e = new TNewNumEdit(parent);
    e->setReturnNext(true);
    e->setCanNegative(false);
    e->setLeadingChar(QLatin1Char(' '));
    e->setDecimal(false);
    e->setMaxDegits(10);
    e->setConmaDisplay(true);
    e->setMaxDecimal(0);
    e->setZeroDisplay(true);
    e->setFixedWidth(150);
    return e;
}

} // namespace

BudgetWindow::BudgetWindow(CommandHost* host)
    : QDialog(host->mainWindow()), host_(host), doc_(&host->document()) {
    setWindowTitle(QStringLiteral("予算設定"));
    setFont(WindowStyle::font(WindowStyle::GothicP, 12, false));
    auto* layout = new QVBoxLayout(this);
    menuBar_ = new QMenuBar(this);
    QMenu* file = menuBar_->addMenu(QStringLiteral(" ﾌｧｲﾙ"));
    saveAction_ = file->addAction(QStringLiteral("保存して終了"));
    saveAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    discardAction_ = file->addAction(QStringLiteral("保存せず終了"));
    discardAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    saveAction_->setObjectName(QStringLiteral("saveAction"));
    discardAction_->setObjectName(QStringLiteral("discardAction"));
    layout->setMenuBar(menuBar_);

    auto* top = new QHBoxLayout;
    title_ = WindowStyle::titleLabel(this, "Title", QStringLiteral("1996年12月"));
    top->addWidget(title_);
    top->addStretch();
    sameAsLastButton_ = new QPushButton(QStringLiteral("前月と同じ"), this);
    sameAsLastButton_->setObjectName(QStringLiteral("sameAsLastButton"));
    sameAsLastButton_->setAutoDefault(false);
    top->addWidget(sameAsLastButton_);
    layout->addLayout(top);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("項目"), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("予算"), this), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("種類"), this), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("繰越"), this), 0, 3);
    for (int r = 0; r < Rows; ++r) {
        names_[r] = new QLabel(this);
        amounts_[r] = amountEdit(this);
        kinds_[r] = new QComboBox(this);
        kinds_[r]->addItems(
            {QStringLiteral("予算なし"), QStringLiteral("変動費"), QStringLiteral("固定費")});
        carries_[r] = new QCheckBox(this);
        names_[r]->setObjectName(QStringLiteral("name%1").arg(r));
        amounts_[r]->setObjectName(QStringLiteral("amount%1").arg(r));
        kinds_[r]->setObjectName(QStringLiteral("kind%1").arg(r));
        carries_[r]->setObjectName(QStringLiteral("carry%1").arg(r));
        grid->addWidget(names_[r], r + 1, 0);
        grid->addWidget(amounts_[r], r + 1, 1);
        grid->addWidget(kinds_[r], r + 1, 2);
        grid->addWidget(carries_[r], r + 1, 3);
        // An amount typed for an item without a budget gives it one.
        connect(amounts_[r], &QLineEdit::textChanged, this, [this, r] {
            if (kinds_[r]->currentIndex() == None && amounts_[r]->Value().raw != 0)
                kinds_[r]->setCurrentIndex(Variable);
        });
    }
    layout->addLayout(grid);

    // Buttons for what the menu does, so that saving is in sight. Neither is
    // a default: Enter moves between the boxes and never saves.
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    saveButton_ = new QPushButton(QStringLiteral("保存"), this);
    saveButton_->setObjectName(QStringLiteral("saveButton"));
    cancelButton_ = new QPushButton(QStringLiteral("キャンセル"), this);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    for (QPushButton* b : {saveButton_, cancelButton_}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    WindowKeys::menuOnF10(this, menuBar_);

    connect(saveButton_, &QPushButton::clicked, this, guarded(this, &BudgetWindow::saveAndClose));
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
    connect(saveAction_, &QAction::triggered, this, guarded(this, &BudgetWindow::saveAndClose));
    connect(discardAction_, &QAction::triggered, this,
            guarded(this, &BudgetWindow::closeWithoutSaving));
    connect(sameAsLastButton_, &QPushButton::clicked, this,
            guarded(this, &BudgetWindow::takeLastMonth));
}

void BudgetWindow::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!e->spontaneous()) {
        runGuarded([this] { showPlan(); });
        shownRows_ = rowValues();
        // Typing starts on the first item's budget.
        for (TNewNumEdit* amount : amounts_)
            if (amount->isEnabled()) {
                amount->setFocus(Qt::OtherFocusReason);
                break;
            }
    }
}

QStringList BudgetWindow::rowValues() const {
    QStringList values;
    for (int r = 0; r < Rows; ++r)
        values << amounts_[r]->text() << QString::number(kinds_[r]->currentIndex())
               << QString::number(carries_[r]->isChecked());
    return values;
}

bool BudgetWindow::unsaved() const {
    return rowValues() != shownRows_;
}

void BudgetWindow::reject() {
    // "保存せず終了", キャンセル, Escape and the close box all come here.
    if (!CloseQuestion::mayClose(unsaved(), this)) return;
    QDialog::reject();
}

void BudgetWindow::showPlan() {
    title_->setText(QStringLiteral("%1年%2月").arg(doc_->year()).arg(doc_->month()));
    title_->adjustSize();
    showMonth(doc_->year(), doc_->month());
}

void BudgetWindow::showMonth(int year, int month) {
    const BudgetPlan& plan = doc_->budget().plan;
    for (int r = 0; r < Rows; ++r) {
        const std::string& name = doc_->ledger().Items[r + 1].Name;
        const bool named = !name.empty();
        const QString shown = QString::fromStdString(cp932ToUtf8Lossy(name));
        names_[r]->setText(shown);
        const QString said = named ? shown : QStringLiteral("項目%1").arg(r + 1);
        amounts_[r]->setAccessibleName(said + QStringLiteral("の予算"));
        kinds_[r]->setAccessibleName(said + QStringLiteral("の種類"));
        carries_[r]->setAccessibleName(said + QStringLiteral("の繰越"));
        for (QWidget* w : {static_cast<QWidget*>(amounts_[r]), static_cast<QWidget*>(kinds_[r]),
                           static_cast<QWidget*>(carries_[r])})
            w->setEnabled(named);
        const std::optional<BudgetEntry> e =
            named ? plan.at(name, year, month) : std::optional<BudgetEntry>();
        amounts_[r]->setValue(Currency::fromUnits(e ? e->amount : 0));
        kinds_[r]->setCurrentIndex(!e ? None : e->fixed ? Fixed : Variable);
        carries_[r]->setChecked(e && e->carry);
    }
}

void BudgetWindow::takeLastMonth() {
    int year = doc_->year(), month = doc_->month();
    stepBack(year, month);
    showMonth(year, month);
}

void BudgetWindow::saveAndClose() {
    const BudgetFile& file = doc_->budget();
    BudgetPlan plan = file.plan;
    const int year = doc_->year(), month = doc_->month();
    for (int r = 0; r < Rows; ++r) {
        const std::string& name = doc_->ledger().Items[r + 1].Name;
        if (name.empty()) continue;
        const int64_t units = amounts_[r]->Value().truncUnits();
        if (units < 0 || units > BudgetMax)
            throw AppError("予算額は 0 から 2,147,483,647 までの整数です");
        BudgetEntry e;
        e.budgeted = kinds_[r]->currentIndex() != None;
        e.amount = static_cast<int32_t>(units);
        e.fixed = kinds_[r]->currentIndex() == Fixed;
        e.carry = carries_[r]->isChecked();
        plan.setIfChanged(name, year, month, e);
    }
    if (file.damaged) {
        // The file could not be read: saving replaces it with this plan alone.
        const QString text = QString::fromStdString(file.error) +
                             QStringLiteral("\n\n保存すると、このﾌｧｲﾙはここでの予算だけで置き換え"
                                            "られます。保存しますか?");
        if (Modal::ask(text, QStringLiteral("ReplaceDamaged"), QMessageBox::Yes | QMessageBox::No,
                       QMessageBox::No, QMessageBox::Question, this) != QMessageBox::Yes)
            return;
    }
    writeBudgetFile(doc_->files(), doc_->book().ledgerDir(), plan);
    doc_->budgetWritten(plan);
    accept();
}

void BudgetWindow::closeWithoutSaving() {
    reject();
}
