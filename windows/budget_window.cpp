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
    MainMenu1 = new QMenuBar(this);
    QMenu* file = MainMenu1->addMenu(QStringLiteral(" ﾌｧｲﾙ"));
    Save1 = file->addAction(QStringLiteral("保存して終了"));
    Save1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    Discard1 = file->addAction(QStringLiteral("保存せず終了"));
    Discard1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    layout->setMenuBar(MainMenu1);

    auto* top = new QHBoxLayout;
    Title = WindowStyle::titleLabel(this, "Title", QStringLiteral("1996年12月"));
    top->addWidget(Title);
    top->addStretch();
    SameAsLast = new QPushButton(QStringLiteral("前月と同じ"), this);
    SameAsLast->setAutoDefault(false);
    top->addWidget(SameAsLast);
    layout->addLayout(top);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("項目"), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("予算"), this), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("種類"), this), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("繰越"), this), 0, 3);
    for (int r = 0; r < Rows; ++r) {
        Names[r] = new QLabel(this);
        Amounts[r] = amountEdit(this);
        Kinds[r] = new QComboBox(this);
        Kinds[r]->addItems(
            {QStringLiteral("予算なし"), QStringLiteral("変動費"), QStringLiteral("固定費")});
        Carries[r] = new QCheckBox(this);
        grid->addWidget(Names[r], r + 1, 0);
        grid->addWidget(Amounts[r], r + 1, 1);
        grid->addWidget(Kinds[r], r + 1, 2);
        grid->addWidget(Carries[r], r + 1, 3);
        // An amount typed for an item without a budget gives it one.
        connect(Amounts[r], &QLineEdit::textChanged, this, [this, r] {
            if (Kinds[r]->currentIndex() == None && Amounts[r]->Value().raw != 0)
                Kinds[r]->setCurrentIndex(Variable);
        });
    }
    layout->addLayout(grid);

    // Buttons for what the menu does, so that saving is in sight. Neither is
    // a default: Enter moves between the boxes and never saves.
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    OkButton = new QPushButton(QStringLiteral("保存"), this);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    CancelButton = new QPushButton(QStringLiteral("キャンセル"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    for (QPushButton* b : {OkButton, CancelButton}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);
    WindowKeys::menuOnF10(this, MainMenu1);

    connect(OkButton, &QPushButton::clicked, this, guarded(this, &BudgetWindow::Save1Click));
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(Save1, &QAction::triggered, this, guarded(this, &BudgetWindow::Save1Click));
    connect(Discard1, &QAction::triggered, this, guarded(this, &BudgetWindow::Discard1Click));
    connect(SameAsLast, &QPushButton::clicked, this, guarded(this, &BudgetWindow::SameAsLastClick));
}

void BudgetWindow::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!e->spontaneous()) {
        runGuarded([this] { FormActivate(); });
        shownRows_ = rowValues();
        // Typing starts on the first item's budget.
        for (TNewNumEdit* amount : Amounts)
            if (amount->isEnabled()) {
                amount->setFocus(Qt::OtherFocusReason);
                break;
            }
    }
}

QStringList BudgetWindow::rowValues() const {
    QStringList values;
    for (int r = 0; r < Rows; ++r)
        values << Amounts[r]->text() << QString::number(Kinds[r]->currentIndex())
               << QString::number(Carries[r]->isChecked());
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

void BudgetWindow::FormActivate() {
    Title->setText(QStringLiteral("%1年%2月").arg(doc_->year()).arg(doc_->month()));
    Title->adjustSize();
    showMonth(doc_->year(), doc_->month());
}

void BudgetWindow::showMonth(int year, int month) {
    const BudgetPlan& plan = doc_->budget().plan;
    for (int r = 0; r < Rows; ++r) {
        const std::string& name = doc_->ledger().Items[r + 1].Name;
        const bool named = !name.empty();
        const QString shown = QString::fromStdString(cp932ToUtf8Lossy(name));
        Names[r]->setText(shown);
        const QString said = named ? shown : QStringLiteral("項目%1").arg(r + 1);
        Amounts[r]->setAccessibleName(said + QStringLiteral("の予算"));
        Kinds[r]->setAccessibleName(said + QStringLiteral("の種類"));
        Carries[r]->setAccessibleName(said + QStringLiteral("の繰越"));
        for (QWidget* w : {static_cast<QWidget*>(Amounts[r]), static_cast<QWidget*>(Kinds[r]),
                           static_cast<QWidget*>(Carries[r])})
            w->setEnabled(named);
        const std::optional<BudgetEntry> e =
            named ? plan.at(name, year, month) : std::optional<BudgetEntry>();
        Amounts[r]->setValue(Currency::fromUnits(e ? e->amount : 0));
        Kinds[r]->setCurrentIndex(!e ? None : e->fixed ? Fixed : Variable);
        Carries[r]->setChecked(e && e->carry);
    }
}

void BudgetWindow::SameAsLastClick() {
    int year = doc_->year(), month = doc_->month();
    stepBack(year, month);
    showMonth(year, month);
}

void BudgetWindow::Save1Click() {
    const BudgetFile& file = doc_->budget();
    BudgetPlan plan = file.plan;
    const int year = doc_->year(), month = doc_->month();
    for (int r = 0; r < Rows; ++r) {
        const std::string& name = doc_->ledger().Items[r + 1].Name;
        if (name.empty()) continue;
        const int64_t units = Amounts[r]->Value().truncUnits();
        if (units < 0 || units > BudgetMax)
            throw AppError("予算額は 0 から 2,147,483,647 までの整数です");
        BudgetEntry e;
        e.budgeted = Kinds[r]->currentIndex() != None;
        e.amount = static_cast<int32_t>(units);
        e.fixed = Kinds[r]->currentIndex() == Fixed;
        e.carry = Carries[r]->isChecked();
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

void BudgetWindow::Discard1Click() {
    reject();
}
