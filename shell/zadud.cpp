#include "shell/zadud.h"

#include "controls/dir_list.h"
#include "ledger/config_file.h"
#include "ledger/cp932.h"
#include "ledger/text_file.h"
#include "shell/calendar.h"
#include "shell/error_box.h"
#include "shell/window_style.h"

#include <QAction>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton* speedButton(QWidget* parent, int x, int width, const QString& caption) {
    auto* b = new QToolButton(parent);
    b->setGeometry(x, 0, width, 25);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setIconSize(QSize(24, 24));
    if (!caption.isEmpty()) b->setText(caption);
    return b;
}

} // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent), book_(QDir::currentPath().toStdString()) {
    book_.setReplaceQuestion([this](const std::string& path, Book::FileChange change) {
        return askReplace(this, path, change);
    });
    book_.setConflictQuestion([this](const std::string& what) {
        QMessageBox box(QMessageBox::Question, ErrorBox::AppTitle, QString::fromStdString(what),
                        QMessageBox::Yes | QMessageBox::No, this);
        box.setObjectName(QStringLiteral("UndoConflict"));
        box.button(QMessageBox::Yes)->setText(QStringLiteral("はい(&Y)"));
        box.button(QMessageBox::No)->setText(QStringLiteral("いいえ(&N)"));
        box.setDefaultButton(QMessageBox::No);
        Modal::exec(&box);
        return box.result() == QMessageBox::Yes;
    });
    book_.changed = [this] { emit amountsChanged(); };
    // An undo, a posting or an import moves the budget bars too.
    connect(this, &TForm1::amountsChanged, this,
            [this] { runGuarded([this] { BudgetBarsDisp(); }); });
    buildUi();
}

TForm1::~TForm1() = default;

void TForm1::buildUi() {
    setWindowTitle(QStringLiteral("家計簿  Ver 1.3"));
    setFont(WindowStyle::font(WindowStyle::GothicP, 12, false));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0, 255, 255));
    setPalette(pal);
    setAutoFillBackground(true);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Panel2 = new QFrame(central);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedHeight(25);
    Panel2->setFrameShape(QFrame::NoFrame);
    layout->addWidget(Panel2);

    Next = speedButton(Panel2, 0, 25, {});
    Next->setObjectName(QStringLiteral("Next"));
    Next->setIcon(WindowStyle::triangleIcon(true));
    SpeedButton1 = speedButton(Panel2, 25, 25, {});
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setIcon(WindowStyle::triangleIcon(false));
    SpeedButton2 = speedButton(Panel2, 50, 25, {});
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2->setEnabled(false);
    SpeedButton3 = speedButton(Panel2, 75, 50, QStringLiteral("明細入力"));
    SpeedButton3->setObjectName(QStringLiteral("SpeedButton3"));
    SpeedButton4 = speedButton(Panel2, 125, 50, QStringLiteral("日記記帳"));
    SpeedButton4->setObjectName(QStringLiteral("SpeedButton4"));
    SpeedButton5 = speedButton(Panel2, 175, 50, QStringLiteral("月別一覧"));
    SpeedButton5->setObjectName(QStringLiteral("SpeedButton5"));
    SpeedButton6 = speedButton(Panel2, 225, 50, QStringLiteral("年間一覧"));
    SpeedButton6->setObjectName(QStringLiteral("SpeedButton6"));

    nen = WindowStyle::titleLabel(Panel2, "nen", QStringLiteral("1996年12月"));
    nen->move(Panel2->width() - nen->width() - 24, 1);

    Panel1 = new QFrame(central);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::NoFrame);
    auto* calLayout = new QVBoxLayout(Panel1);
    calLayout->setContentsMargins(0, 0, 0, 0);
    mc = new TCalendar(Panel1);
    mc->setObjectName(QStringLiteral("mc"));
    mc->setFont(WindowStyle::font(WindowStyle::MinchoP, 27, true));
    mc->setStartOfWeek(0);
    calLayout->addWidget(mc);
    layout->addWidget(Panel1, 1);
    setCentralWidget(central);

    QMenuBar* bar = menuBar();
    Exit1 = bar->addMenu(QStringLiteral("ﾌｧｲﾙ"));
    Exit2 = Exit1->addAction(QStringLiteral("明細入力"));
    Exit2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    Exit3 = Exit1->addAction(QStringLiteral("日記記帳"));
    Exit3->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    Exit5 = Exit1->addAction(QStringLiteral("年間一覧"));
    Exit5->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Y));
    DiarySearch1 = Exit1->addAction(QStringLiteral("日記検索"));
    DiarySearch1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    Schedule1 = Exit1->addAction(QStringLiteral("定期入力"));
    Exit1->addSeparator();
    Print1 = Exit1->addAction(QStringLiteral("印刷..."));
    Print1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    Pdf1 = Exit1->addAction(QStringLiteral("PDF出力..."));
    StatementImport1 = Exit1->addAction(QStringLiteral("明細の取り込み..."));
    Exit1->addSeparator();
    Restore1 = Exit1->addAction(QStringLiteral("バックアップから復元..."));
    Export1 = Exit1->addAction(QStringLiteral("データの書き出し..."));
    Import1 = Exit1->addAction(QStringLiteral("データの読み込み..."));
    Exit1->addSeparator();
    Exit4 = Exit1->addAction(QStringLiteral("終了"));
    Exit4->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    Edit1 = bar->addMenu(QStringLiteral("編集"));
    Undo1 = Edit1->addAction(QStringLiteral("元に戻す"));
    Undo1->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Z)});
    Redo1 = Edit1->addAction(QStringLiteral("やり直し"));
    Redo1->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    Edit1->addSeparator();
    History1 = Edit1->addAction(QStringLiteral("変更履歴..."));
    History1->setEnabled(false);
    connect(Edit1, &QMenu::aboutToShow, this, [this] { nameUndoCommands(Undo1, Redo1); });
    connect(Undo1, &QAction::triggered, this, guarded(this, &TForm1::undoStep));
    connect(Redo1, &QAction::triggered, this, guarded(this, &TForm1::redoStep));
    connect(History1, &QAction::triggered, this, [this] {
        if (history_) Modal::exec(history_);
    });
    K1 = bar->addMenu(QStringLiteral("設定 "));
    K2 = K1->addAction(QStringLiteral("日記帳環境"));
    K2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    Budget1 = K1->addAction(QStringLiteral("予算設定"));
    Budget1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    Budget1->setEnabled(false);
    HELP1 = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ"));
    K3 = HELP1->addAction(QStringLiteral("ﾄﾋﾟｯｸ検索"));
    K3->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    About1 = HELP1->addAction(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    About1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    // The two menus with shortcuts of their own open on them.
    auto openMenu = [this](QMenu* menu) { menuBar()->setActiveAction(menu->menuAction()); };
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this), &QShortcut::activated, this,
            [=] { openMenu(Exit1); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_C), this), &QShortcut::activated, this,
            [=] { openMenu(K1); });

    connect(Next, &QToolButton::clicked, this, guarded(this, &TForm1::NextClick));
    connect(SpeedButton1, &QToolButton::clicked, this, guarded(this, &TForm1::SpeedButton1Click));
    connect(SpeedButton3, &QToolButton::clicked, this, guarded(this, &TForm1::SpeedButton3Click));
    connect(SpeedButton4, &QToolButton::clicked, this, guarded(this, &TForm1::SpeedButton4Click));
    connect(SpeedButton5, &QToolButton::clicked, this, guarded(this, &TForm1::SpeedButton5Click));
    connect(SpeedButton6, &QToolButton::clicked, this, guarded(this, &TForm1::SpeedButton6Click));
    connect(mc, &TCalendar::doubleClicked, this, guarded(this, &TForm1::mcDblClick));
    connect(Exit2, &QAction::triggered, this, guarded(this, &TForm1::Exit2Click));
    connect(Exit3, &QAction::triggered, this, guarded(this, &TForm1::Exit3Click));
    connect(Exit5, &QAction::triggered, this, guarded(this, &TForm1::Exit5Click));
    connect(DiarySearch1, &QAction::triggered, this, guarded(this, &TForm1::DiarySearch1Click));
    connect(Schedule1, &QAction::triggered, this, guarded(this, &TForm1::Schedule1Click));
    connect(Exit4, &QAction::triggered, this, guarded(this, &TForm1::Exit4Click));
    connect(Budget1, &QAction::triggered, this, guarded(this, &TForm1::Budget1Click));
    connect(Print1, &QAction::triggered, this, guarded(this, &TForm1::Print1Click));
    connect(Pdf1, &QAction::triggered, this, guarded(this, &TForm1::Pdf1Click));
    connect(StatementImport1, &QAction::triggered, this, [this] {
        if (statementImport_) runGuarded(statementImport_);
    });
    connect(K2, &QAction::triggered, this, guarded(this, &TForm1::K2Click));
    connect(K3, &QAction::triggered, this, guarded(this, &TForm1::K3Click));
    connect(About1, &QAction::triggered, this, guarded(this, &TForm1::About1Click));

    // Windows that are not attached yet leave their entries disabled.
    for (QWidget* w : {static_cast<QWidget*>(SpeedButton3), static_cast<QWidget*>(SpeedButton4),
                       static_cast<QWidget*>(SpeedButton5), static_cast<QWidget*>(SpeedButton6)})
        w->setEnabled(false);
    for (QAction* a : {Restore1, Export1, Import1}) {
        connect(a, &QAction::triggered, this, [this, a] {
            const std::function<void()>& handler =
                a == Restore1 ? restoreHandler_ : (a == Export1 ? exportHandler_ : importHandler_);
            if (handler) runGuarded(handler);
        });
    }

    for (QAction* a : {Exit2, Exit3, Exit5, DiarySearch1, Schedule1, Print1, Pdf1, StatementImport1,
                       Restore1, Export1, Import1, K2, K3, About1})
        a->setEnabled(false);

    move(96, 155);
    resize(534, 344 + bar->sizeHint().height());
}

void TForm1::setDailySheet(QDialog* form2) {
    form2_ = form2;
    SpeedButton3->setEnabled(form2 != nullptr);
    Exit2->setEnabled(form2 != nullptr);
}

void TForm1::setDiary(QDialog* form3) {
    form3_ = form3;
    SpeedButton4->setEnabled(form3 != nullptr);
    Exit3->setEnabled(form3 != nullptr);
}

void TForm1::setSettings(QDialog* form4) {
    form4_ = form4;
    K2->setEnabled(form4 != nullptr);
}

void TForm1::setVersion(QDialog* form6) {
    form6_ = form6;
    About1->setEnabled(form6 != nullptr);
}

void TForm1::setMonthlyList(QDialog* form7) {
    form7_ = form7;
    SpeedButton5->setEnabled(form7 != nullptr);
}

void TForm1::setBudgetWindow(QDialog* budget) {
    budget_ = budget;
    Budget1->setEnabled(budget != nullptr);
}

void TForm1::setYearOverview(QDialog* overview) {
    yearOverview_ = overview;
    SpeedButton6->setEnabled(overview != nullptr);
    Exit5->setEnabled(overview != nullptr);
}

void TForm1::setPrintHandlers(std::function<void()> print, std::function<void()> pdf) {
    printHandler_ = std::move(print);
    pdfHandler_ = std::move(pdf);
    Print1->setEnabled(static_cast<bool>(printHandler_));
    Pdf1->setEnabled(static_cast<bool>(pdfHandler_));
}

void TForm1::setBackupHandlers(std::function<void()> restore, std::function<void()> exportBook,
                               std::function<void()> importBook) {
    restoreHandler_ = std::move(restore);
    exportHandler_ = std::move(exportBook);
    importHandler_ = std::move(importBook);
    Restore1->setEnabled(static_cast<bool>(restoreHandler_));
    Export1->setEnabled(static_cast<bool>(exportHandler_));
    Import1->setEnabled(static_cast<bool>(importHandler_));
}

void TForm1::setChangeHistory(QDialog* history) {
    history_ = history;
    History1->setEnabled(history != nullptr);
}

void TForm1::nameUndoCommands(QAction* undo, QAction* redo) const {
    const std::string u = book_.undoText(), r = book_.redoText();
    undo->setText(u.empty() ? QStringLiteral("元に戻す")
                            : QStringLiteral("元に戻す: ") + QString::fromStdString(u));
    redo->setText(r.empty() ? QStringLiteral("やり直し")
                            : QStringLiteral("やり直し: ") + QString::fromStdString(r));
}

void TForm1::undoStep() {
    book_.setShown(shownMonth());
    if (book_.undo()) emit amountsChanged();
}

void TForm1::redoStep() {
    book_.setShown(shownMonth());
    if (book_.redo()) emit amountsChanged();
}

void TForm1::undoBackTo(uint64_t group) {
    book_.setShown(shownMonth());
    book_.undoBackTo(group);
    emit amountsChanged();
}

void TForm1::setDiarySearch(QDialog* search) {
    diarySearch_ = search;
    DiarySearch1->setEnabled(search != nullptr);
}

void TForm1::setScheduleWindow(QDialog* window, std::function<void()> catchUp) {
    schedule_ = window;
    monthEntered_ = std::move(catchUp);
    Schedule1->setEnabled(window != nullptr);
    // Made after the month was entered (start-up makes it after the first
    // frame): what is due is asked for now.
    if (activated_ && monthEntered_)
        QTimer::singleShot(0, this, [this] { runGuarded(monthEntered_); });
}

void TForm1::Schedule1Click() {
    if (schedule_) Modal::exec(schedule_);
}

void TForm1::setStatementImport(std::function<void()> open) {
    statementImport_ = std::move(open);
    StatementImport1->setEnabled(static_cast<bool>(statementImport_));
}

void TForm1::setSheetFiller(std::function<void()> fill) {
    sheetFiller_ = std::move(fill);
}

void TForm1::setHelpHandler(std::function<void(const QString&)> help) {
    helpHandler_ = std::move(help);
    K3->setEnabled(static_cast<bool>(helpHandler_));
}

std::string TForm1::ledgerDirBytes() const {
    return book_.ledgerDir();
}

void TForm1::MonthDisp() {
    nen->move(Panel2->width() - nen->width() - 24, 1);
    nen->setText(QString());
    nen->setText(QStringLiteral("%1年%2月").arg(mc->Year()).arg(mc->Month()));
    nen->adjustSize();
    BudgetBarsDisp();
}

void TForm1::BudgetBarsDisp() {
    // The bars follow the month in memory, as every redisplay leaves it.
    QVector<double> bars;
    const BudgetSummary s = monthBudget(0);
    if (s.any) {
        const int days = TCalendar::daysInMonth(mc->Year(), mc->Month());
        const auto byDay = variableBudgetByDay(s, Ledger, days);
        // Days after the last one with variable spending have nothing to say yet.
        int last = days;
        while (last > 0 && byDay[last].spent == (last > 1 ? byDay[last - 1].spent : 0))
            --last;
        for (int d = 1; d <= last; ++d)
            bars.append(byDay[d].allowed > 0 ? double(byDay[d].spent) / double(byDay[d].allowed)
                        : byDay[d].spent > 0 ? 2.0
                                             : -1.0);
    }
    mc->setBudgetBars(bars);
}

BudgetSummary TForm1::monthBudget(int daysLeft) const {
    if (Budget.plan.empty()) return {};
    // Earlier months come from the book, as the carry chain reads them.
    return budgetSummary(Budget.plan, Ledger, mc->Year(), mc->Month(), daysLeft,
                         [this](int y, int m) {
                             return book_.month({y, m});
                         });
}

void TForm1::BudgetRead() {
    Budget = readBudgetFile(ledgerDirBytes());
    if (!Budget.damaged) {
        budgetWarned_.clear();
    } else if (Budget.error != budgetWarned_) {
        budgetWarned_ = Budget.error;
        ErrorBox::show(QString::fromStdString(Budget.error));
    }
}

MonthKey TForm1::shownMonth() const {
    return {mc->Year(), mc->Month()};
}

void TForm1::MonthSave() {
    // The calendar names the month in memory.
    book_.setShown(shownMonth());
    book_.saveMonth();
}

QString TForm1::heldFile() const {
    return QString::fromStdString(book_.heldFile());
}

QString TForm1::heldMessage() const {
    return QString::fromStdString(book_.heldMessage());
}

void TForm1::refuseIfHeld() const {
    book_.refuseIfHeld();
}

void TForm1::MonthLoad(int mode) {
    book_.setShown(shownMonth());
    if (mode == 1)
        book_.loadPrevious();
    else
        book_.loadCurrent();
}

void TForm1::LoadMonths() {
    book_.setShown(shownMonth());
    book_.loadMonths();
}

void TForm1::setLocationChecks(std::function<bool(const QString&)> ledger,
                               std::function<bool(const QString&)> diary) {
    checkLedger_ = std::move(ledger);
    checkDiary_ = std::move(diary);
}

void TForm1::CfgRead() {
    auto check = [](const std::function<bool(const QString&)>& fn) -> LocationCheck {
        return [fn](const std::string& path) {
            const QString where = QString::fromStdString(path);
            return fn ? fn(where) : DirList::canEnter(where);
        };
    };
    book_.readConfiguration(check(checkLedger_), check(checkDiary_));
    BudgetRead();
}

void TForm1::configurationWritten() {
    book_.configurationWritten();
    BudgetRead();
}

void TForm1::FormActivate() {
    activated_ = true;
    MonthDisp();
    CfgRead();
    LoadMonths();
    BudgetBarsDisp();
    // The catch-up says its own trouble; the month is entered all the same.
    if (monthEntered_) runGuarded(monthEntered_);
}

void TForm1::runActivationOnce() {
    if (activated_) return;
    runGuarded([this] { FormActivate(); });
    // What the change journal lost (a power cut mid-append) is said once,
    // after the window is up.
    QTimer::singleShot(0, this, [this] {
        const std::string warning = book_.takeJournalWarning();
        if (!warning.empty()) ErrorBox::show(QString::fromStdString(warning));
    });
}

bool TForm1::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate && !activated_)
        QTimer::singleShot(0, this, [this] { runActivationOnce(); });
    return QMainWindow::event(e);
}

void TForm1::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    // Some window systems never activate the window; the first showing then
    // stands in for the activation.
    if (!activated_) QTimer::singleShot(0, this, [this] { runActivationOnce(); });
}

void TForm1::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    FormResize();
}

void TForm1::FormResize() {
    MonthDisp();
}

void TForm1::closeEvent(QCloseEvent* e) {
    if (runGuarded([this] { MonthSave(); }))
        e->accept();
    else
        e->ignore();
}

void TForm1::stepMonth(int delta) {
    int year = mc->Year(), month = mc->Month() + delta;
    if (month < 1) {
        month = 12;
        --year;
    } else if (month > 12) {
        month = 1;
        ++year;
    }
    goToDate(year, month, 1);
}

void TForm1::goToDate(int year, int month, int day) {
    if (year == mc->Year() && month == mc->Month()) {
        mc->setDay(day);
        return;
    }
    MonthSave();
    const int oldYear = mc->Year(), oldMonth = mc->Month(), oldDay = mc->Day();
    try {
        mc->setDay(1);
        mc->setYear(year);
        mc->setMonth(month);
        mc->setDay(day);
    } catch (...) {
        // A refused year (past the calendar's last) may leave the month
        // already changed; going back keeps the month in memory under its own
        // name, so that it is never saved into another month's file.
        mc->setDay(1);
        mc->setYear(oldYear);
        mc->setMonth(oldMonth);
        mc->setDay(oldDay);
        throw;
    }
    try {
        LoadMonths();
    } catch (...) {
        MonthDisp();
        throw;
    }
    MonthDisp();
    // The catch-up says its own trouble; the month is entered all the same.
    if (monthEntered_) runGuarded(monthEntered_);
}

void TForm1::NextClick() {
    stepMonth(-1);
}
void TForm1::SpeedButton1Click() {
    stepMonth(1);
}

void TForm1::openDailySheet() {
    if (!form2_) return;
    if (sheetFiller_) sheetFiller_();
    Modal::exec(form2_);
}

void TForm1::mcDblClick() {
    openDailySheet();
}
void TForm1::SpeedButton3Click() {
    openDailySheet();
}
void TForm1::Exit2Click() {
    openDailySheet();
}

void TForm1::showDiary() {
    if (form3_) Modal::exec(form3_);
}

void TForm1::SpeedButton4Click() {
    showDiary();
}
void TForm1::Exit3Click() {
    SpeedButton4Click();
}

void TForm1::DiarySearch1Click() {
    if (diarySearch_) Modal::exec(diarySearch_);
}

void TForm1::showMonthlyList() {
    if (form7_) Modal::exec(form7_);
}

void TForm1::SpeedButton5Click() {
    showMonthlyList();
}

void TForm1::SpeedButton6Click() {
    if (yearOverview_) Modal::exec(yearOverview_);
}
void TForm1::Exit5Click() {
    SpeedButton6Click();
}

void TForm1::K2Click() {
    if (form4_) Modal::exec(form4_);
}

void TForm1::Budget1Click() {
    if (budget_) Modal::exec(budget_);
    MonthDisp();
}

void TForm1::About1Click() {
    if (form6_) Modal::exec(form6_);
}

void TForm1::K3Click() {
    helpFile_ = QStringLiteral("zadud.HLP");
    if (helpHandler_) helpHandler_(helpFile_);
}

void TForm1::Print1Click() {
    if (printHandler_) printHandler_();
}

void TForm1::Pdf1Click() {
    if (pdfHandler_) pdfHandler_();
}

void TForm1::Exit4Click() {
    MonthSave();
    close();
}
