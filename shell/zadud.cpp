#include "shell/zadud.h"

#include "ledger/diary_draft.h"
#include "shell/calendar.h"
#include "shell/error_box.h"
#include "shell/theme.h"
#include "shell/window_keys.h"
#include "shell/window_style.h"

#include <QAction>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QMenuBar>
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

// The period's title at the toolbar's right end: "1996年12月" for a
// calendar month, "2026年12月分 11/25〜12/24" for a period.
void showTitle(QLabel* nen, QFrame* panel, const BookDocument& doc) {
    nen->setText(QString());
    // A period's title with its range is twice as long: smaller, it stays
    // clear of the toolbar's buttons.
    const bool calendar = doc.periodRule().calendar();
    nen->setFont(WindowStyle::font(WindowStyle::MinchoP, calendar ? 21 : 15, true));
    nen->setText(QString::fromStdString(periodTitle(doc.periodRule(), doc.shownPeriod())));
    nen->adjustSize();
    nen->move(panel->width() - nen->width() - 24, calendar ? 1 : 1 + (21 - 15) / 2);
}

QDate toQDate(const Date& d) {
    return QDate(d.year, d.month, d.day);
}

// The calendar's days: the shown period's, around the document's date.
void showPeriod(TCalendar* mc, const BookDocument& doc) {
    const PeriodRange r = doc.shownRange();
    if (doc.periodRule().calendar())
        mc->setSpan({}, {});
    else
        mc->setSpan(toQDate(r.first), toQDate(r.last));
    mc->showDate(doc.date());
}

// Keeps the title at the toolbar's right end when the toolbar is resized:
// the window's own resize comes before its layout has sized the toolbar.
class KeepAtRightEnd : public QObject {
public:
    KeepAtRightEnd(QLabel* label, QWidget* panel) : QObject(panel), label_(label) {
        panel->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (e->type() == QEvent::Resize)
            label_->move(static_cast<QWidget*>(watched)->width() - label_->width() - 24,
                         label_->y());
        return false;
    }

private:
    QLabel* label_;
};

} // namespace

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent),
      ownDoc_(std::make_unique<BookDocument>(QDir::currentPath().toStdString())),
      doc_(ownDoc_.get()) {
    buildUi();
}

TForm1::TForm1(BookDocument& document, QWidget* parent) : QMainWindow(parent), doc_(&document) {
    buildUi();
}

TForm1::~TForm1() = default;

void TForm1::buildUi() {
    setWindowTitle(QStringLiteral("家計簿  Ver 1.3"));
    setFont(WindowStyle::font(WindowStyle::GothicP, 12, false));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Theme::barColour(pal));
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

    nen = WindowStyle::titleLabel(Panel2, "nen", QStringLiteral("1996年12月"));
    nen->move(Panel2->width() - nen->width() - 24, 1);
    new KeepAtRightEnd(nen, Panel2);

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

    // Features add their entries between the separators of these menus.
    QMenuBar* bar = menuBar();
    Exit1 = bar->addMenu(QStringLiteral("ﾌｧｲﾙ"));
    Exit2 = Exit1->addAction(QStringLiteral("明細入力"));
    Exit2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
    Exit3 = Exit1->addAction(QStringLiteral("日記記帳"));
    Exit3->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    for (QAction*& end : sectionEnd_)
        end = Exit1->addSeparator();
    Exit4 = Exit1->addAction(QStringLiteral("終了"));
    Exit4->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_X));
    Edit1 = bar->addMenu(QStringLiteral("編集"));
    Edit1->addAction(doc_->undoAction());
    Edit1->addAction(doc_->redoAction());
    Edit1->addSeparator();
    K1 = bar->addMenu(QStringLiteral("設定 "));
    K2 = K1->addAction(QStringLiteral("日記帳環境"));
    K2->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
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
    WindowKeys::menuOnF10(this, bar);
    WindowKeys::pageSteps(
        this, [this] { NextClick(); }, [this] { SpeedButton1Click(); });
    // What a screen reader says of the controls without a caption.
    Next->setAccessibleName(QStringLiteral("前の月"));
    SpeedButton1->setAccessibleName(QStringLiteral("次の月"));
    mc->setAccessibleName(QStringLiteral("カレンダー"));

    connect(Next, &QToolButton::clicked, this, guarded(this, &TForm1::NextClick));
    connect(SpeedButton1, &QToolButton::clicked, this, guarded(this, &TForm1::SpeedButton1Click));
    connect(SpeedButton3, &QToolButton::clicked, this, guarded(this, &TForm1::SpeedButton3Click));
    connect(SpeedButton4, &QToolButton::clicked, this, guarded(this, &TForm1::SpeedButton4Click));
    connect(SpeedButton5, &QToolButton::clicked, this, guarded(this, &TForm1::SpeedButton5Click));
    connect(mc, &TCalendar::doubleClicked, this, guarded(this, &TForm1::mcDblClick));
    connect(Exit2, &QAction::triggered, this, guarded(this, &TForm1::Exit2Click));
    connect(Exit3, &QAction::triggered, this, guarded(this, &TForm1::Exit3Click));
    connect(Exit4, &QAction::triggered, this, guarded(this, &TForm1::Exit4Click));
    connect(K2, &QAction::triggered, this, guarded(this, &TForm1::K2Click));
    connect(K3, &QAction::triggered, this, guarded(this, &TForm1::K3Click));
    connect(About1, &QAction::triggered, this, guarded(this, &TForm1::About1Click));

    // Windows that are not attached yet leave their entries disabled.
    for (QToolButton* b : {SpeedButton3, SpeedButton4, SpeedButton5})
        b->setEnabled(false);
    for (QAction* a : {Exit2, Exit3, K2, K3, About1})
        a->setEnabled(false);

    move(96, 155);
    resize(534, 344 + bar->sizeHint().height());

    // The calendar shows the document's date; a day picked on it is the
    // document's date within its month.
    showPeriod(mc, *doc_);
    // The bars follow the month in memory: they are drawn once it is entered.
    connect(doc_, &BookDocument::dateChanged, this, [this] {
        showPeriod(mc, *doc_);
        showTitle(nen, Panel2, *doc_);
    });
    // A day picked in the other month of a period enters that month.
    connect(mc, &TCalendar::dateChanged, doc_, [this] {
        const QDate d = mc->date();
        if (!doc_->isOpen() || (d.year() == doc_->year() && d.month() == doc_->month()))
            doc_->showDate(d);
        else
            runGuarded([this, d] { doc_->goToDate(d.year(), d.month(), d.day()); });
    });
    connect(doc_, &BookDocument::periodChanged, this, [this] {
        showPeriod(mc, *doc_);
        runGuarded([this] { MonthDisp(); });
    });
    connect(doc_, &BookDocument::monthEntered, this,
            [this] { runGuarded([this] { MonthDisp(); }); });
    connect(doc_, &BookDocument::scheduleChanged, mc, qOverload<>(&QWidget::update));
    // An undo, a posting, an import or a new plan moves the day bars too,
    // once a month was entered.
    for (auto signal : {&BookDocument::amountsChanged, &BookDocument::budgetChanged})
        connect(doc_, signal, this, [this] {
            if (doc_->isOpen()) runGuarded([this] { drawDayBars(); });
        });
}

QAction* TForm1::addMenuEntry(MenuPlace place, const QString& caption, const QString& name,
                              const QList<QKeySequence>& keys) {
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    action->setShortcuts(keys);
    action->setEnabled(false);
    switch (place) {
    case MenuPlace::FileWindows:
    case MenuPlace::FileOutput:
    case MenuPlace::FileData:
        Exit1->insertAction(sectionEnd_[static_cast<int>(place)], action);
        break;
    case MenuPlace::EditHistory:
        Edit1->addAction(action);
        break;
    case MenuPlace::SettingsMenu:
        K1->addAction(action);
        break;
    }
    return action;
}

void TForm1::addToolButton(QAction* action, int width, const QString& name) {
    int x = 0;
    for (QToolButton* b : Panel2->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
        x = std::max(x, b->x() + b->width());
    QToolButton* button = speedButton(Panel2, x, width, action->text());
    button->setObjectName(name);
    button->setEnabled(action->isEnabled());
    connect(action, &QAction::enabledChanged, button, &QToolButton::setEnabled);
    connect(button, &QToolButton::clicked, action, &QAction::trigger);
}

void TForm1::setDayBars(std::function<QVector<double>()> bars) {
    dayBars_ = std::move(bars);
    runGuarded([this] { drawDayBars(); });
}

void TForm1::setDayNotes(std::function<QString(const QDate&, bool)> notes) {
    mc->setDayNotes(std::move(notes));
}

QString TForm1::dayNote(const QDate& day) const {
    return mc->dayNote(day, false);
}

void TForm1::drawDayBars() {
    mc->setBudgetBars(dayBars_ ? dayBars_() : QVector<double>());
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

void TForm1::setHelpHandler(std::function<void(const QString&)> help) {
    helpHandler_ = std::move(help);
    K3->setEnabled(static_cast<bool>(helpHandler_));
}

void TForm1::MonthDisp() {
    showTitle(nen, Panel2, *doc_);
    drawDayBars();
}

void TForm1::FormActivate() {
    activated_ = true;
    MonthDisp();
    doc_->open();
}

void TForm1::runActivationOnce() {
    if (activated_) return;
    runGuarded([this] { FormActivate(); });
    // What the change journal lost (a power cut mid-append) is said once,
    // after the window is up.
    QTimer::singleShot(0, this, [this] {
        // Changes finished from the journal are news; trouble is an error.
        const std::string note = book().takeRecoveryNote();
        if (!note.empty()) ErrorBox::inform(QString::fromStdString(note));
        const std::string warning = book().takeJournalWarning();
        if (!warning.empty()) ErrorBox::show(QString::fromStdString(warning));
        // Diary text typed but not saved when the program last ended.
        const std::string drafts =
            unsavedDiaryNote(doc_->files(), book().ledgerDir(), book().diaryDir(), book().pcName());
        if (!drafts.empty()) ErrorBox::inform(QString::fromStdString(drafts));
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

void TForm1::closeEvent(QCloseEvent* e) {
    if (runGuarded([this] { MonthSave(); }))
        e->accept();
    else
        e->ignore();
}

void TForm1::showDailySheet() {
    if (!form2_) return;
    if (sheetFiller_) sheetFiller_();
    Modal::exec(form2_);
}

void TForm1::showDiary() {
    if (form3_) Modal::exec(form3_);
}

void TForm1::showMonthlyList() {
    if (form7_) Modal::exec(form7_);
}

void TForm1::K2Click() {
    if (form4_) Modal::exec(form4_);
}

void TForm1::About1Click() {
    if (form6_) Modal::exec(form6_);
}

void TForm1::K3Click() {
    helpFile_ = QStringLiteral("zadud.HLP");
    if (helpHandler_) helpHandler_(helpFile_);
}

void TForm1::Exit4Click() {
    MonthSave();
    close();
}
