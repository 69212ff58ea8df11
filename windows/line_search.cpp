#include "windows/line_search.h"

#include "ledger/amount_format.h"
#include "ledger/cp932.h"
#include "shell/book_document.h"
#include "shell/error_box.h"
#include "shell/feature.h"
#include "shell/window_style.h"
#include "shell/zadud.h"
#include "windows/diary_search.h"
#include "windows/form_frame.h"

#include <QAction>
#include <QApplication>
#include <QFutureWatcher>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace {

constexpr int DebounceMs = 250;
constexpr int HitRole = Qt::UserRole + 1;

QString utf8(const std::string& cp932) {
    return QString::fromStdString(cp932ToUtf8Lossy(cp932));
}

QString grouped(int64_t v) {
    return QString::fromStdString(groupedAmount(v));
}

QString totalText(const LineTotal& t) {
    QString text = QStringLiteral("%1 件").arg(t.count);
    if (t.income) text += QStringLiteral("  収入 %1").arg(grouped(t.income));
    if (t.expense || !t.income) text += QStringLiteral("  支出 %1").arg(grouped(t.expense));
    return text;
}

} // namespace

QString lineTotalsText(const LineSearchResult& r) {
    QStringList rows{QStringLiteral("合計 ") + totalText(r.total)};
    for (const auto& [tag, total] : r.tags)
        rows << QStringLiteral("#%1  %2").arg(QString::fromStdString(tag), totalText(total));
    return rows.join(QLatin1Char('\n'));
}

LineSearchWindow::LineSearchWindow(CommandHost* host)
    : QDialog(host->mainWindow()), host_(host), doc_(&host->document()) {
    setObjectName(QStringLiteral("LineSearch"));
    setWindowTitle(QStringLiteral("明細検索"));
    setFont(WindowStyle::font(WindowStyle::GothicP, 12, false));

    const FormFrame frame = buildFormFrame(this);
    MainMenu1 = frame.menuBar;
    File1 = frame.fileMenu;
    Open1 = File1->addAction(QStringLiteral("日計を開く"));
    Open1->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    Exit1 = addCommand(File1, QStringLiteral("終了"), Qt::Key_X);

    auto* body = new QWidget(frame.panel);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 2);
    layout->setSpacing(4);
    Edit1 = new QLineEdit(body);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setAccessibleName(QStringLiteral("探す条件"));
    Edit1->setPlaceholderText(
        QStringLiteral("語句  1280  1000-2000  >5000  #ﾀｸﾞ  項目:食費  2026-12  2026-01..2026-06"));
    layout->addWidget(Edit1);
    Results = new QTreeWidget(body);
    Results->setObjectName(QStringLiteral("Results"));
    Results->setColumnCount(4);
    Results->setHeaderLabels({QStringLiteral("日付"), QStringLiteral("項目"),
                              QStringLiteral("金額"), QStringLiteral("ﾒﾓ")});
    Results->setRootIsDecorated(false);
    Results->setUniformRowHeights(true);
    Results->setAllColumnsShowFocus(true);
    Results->header()->setStretchLastSection(true);
    Results->setColumnWidth(0, 100);
    Results->setColumnWidth(1, 90);
    Results->setColumnWidth(2, 100);
    layout->addWidget(Results, 1);
    Totals = new QLabel(body);
    Totals->setObjectName(QStringLiteral("Totals"));
    Totals->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(Totals);
    Status = new QLabel(body);
    Status->setObjectName(QStringLiteral("Status"));
    layout->addWidget(Status);
    frame.panelLayout->addWidget(body);

    Edit1->installEventFilter(this);
    debounce_.setSingleShot(true);
    debounce_.setInterval(DebounceMs);
    connect(&debounce_, &QTimer::timeout, this, [this] { startSearch(); });
    connect(Edit1, &QLineEdit::textChanged, this, [this] {
        cancelSearch();
        debounce_.start();
    });
    connect(Results, &QTreeWidget::itemDoubleClicked, this,
            guarded(this, &LineSearchWindow::Open1Click));
    connect(Open1, &QAction::triggered, this, guarded(this, &LineSearchWindow::Open1Click));
    connect(Exit1, &QAction::triggered, this, guarded(this, &LineSearchWindow::Exit1Click));

    move(119, 150);
    resize(680, 480);
}

LineSearchWindow::~LineSearchWindow() {
    cancelSearch();
}

void LineSearchWindow::FormActivate() {
    debounce_.stop();
    startSearch();
}

void LineSearchWindow::cancelSearch() {
    if (cancel_) cancel_->store(true);
    current_ = nullptr;
}

void LineSearchWindow::startSearch() {
    cancelSearch();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    cancel_ = cancel;
    const std::string dir = doc_->book().ledgerDir();
    const std::string query = Edit1->text().toStdString();
    Status->setText(QStringLiteral("検索中…"));
    auto* watcher = new QFutureWatcher<Outcome>(this);
    current_ = watcher;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        if (watcher == current_) {
            current_ = nullptr;
            showOutcome(watcher->result());
        }
        watcher->deleteLater();
    });
    FileStore* files = &doc_->files();
    watcher->setFuture(QtConcurrent::run(&searches_, [files, dir, query, cancel] {
        Outcome out;
        try {
            if (diaryQueryWords(query, foldForSearch).empty()) {
                out.empty = true;
                return out;
            }
            const LineQuery q = parseLineQuery(query, foldForSearch);
            out.result = searchLines(*files, dir, q, foldForSearch, cancel.get());
        } catch (const std::exception& e) {
            out.error = QString::fromUtf8(e.what());
        }
        return out;
    }));
}

void LineSearchWindow::showOutcome(const Outcome& outcome) {
    result_ = outcome.result;
    Results->clear();
    for (std::size_t i = 0; i < result_.hits.size(); ++i) {
        const LineHit& hit = result_.hits[i];
        auto* item = new QTreeWidgetItem(Results);
        item->setData(0, HitRole, static_cast<qulonglong>(i));
        item->setText(0, QStringLiteral("%1-%2-%3")
                             .arg(hit.year, 4, 10, QLatin1Char('0'))
                             .arg(hit.month, 2, 10, QLatin1Char('0'))
                             .arg(hit.line.day, 2, 10, QLatin1Char('0')));
        item->setText(1, utf8(hit.line.item));
        item->setText(2, (hit.line.side == LineSide::Income ? QStringLiteral("+") : QString()) +
                             grouped(hit.line.amount));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(3, utf8(hit.line.memo));
    }
    if (Results->topLevelItemCount()) Results->setCurrentItem(Results->topLevelItem(0));
    Totals->setText(result_.hits.empty() ? QString() : lineTotalsText(result_));
    QString status = outcome.empty ? QStringLiteral("条件を入力してください")
                     : !outcome.error.isEmpty() ? outcome.error
                     : result_.hits.empty()     ? QStringLiteral("見つかりません")
                                                : QString();
    if (!result_.problems.empty())
        status += (status.isEmpty() ? QString() : QStringLiteral("\n")) +
                  QString::fromStdString(result_.problems.front());
    Status->setText(status);
    emit resultsShown();
    if (openWhenShown_) {
        openWhenShown_ = false;
        runGuarded([this] { Open1Click(); });
    }
}

void LineSearchWindow::Open1Click() {
    // Enter typed before the list caught up opens the newest line found.
    if (debounce_.isActive() || current_) {
        openWhenShown_ = true;
        if (debounce_.isActive()) {
            debounce_.stop();
            startSearch();
        }
        return;
    }
    QTreeWidgetItem* item = Results->currentItem();
    if (!item) return;
    const LineHit& hit = result_.hits.at(item->data(0, HitRole).toULongLong());
    doc_->goToDate(hit.year, hit.month, hit.line.day);
    // The daily sheet is the main window's own: its entry opens it.
    if (auto* form1 = qobject_cast<TForm1*>(host_->mainWindow())) form1->Exit2->trigger();
    startSearch();
}

void LineSearchWindow::Exit1Click() {
    reject();
}

void LineSearchWindow::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (e->spontaneous()) return;
    Edit1->selectAll();
    Edit1->setFocus();
    runGuarded([this] { FormActivate(); });
}

void LineSearchWindow::hideEvent(QHideEvent* e) {
    QDialog::hideEvent(e);
    if (e->spontaneous()) return;
    debounce_.stop();
    openWhenShown_ = false;
    cancelSearch();
}

bool LineSearchWindow::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() != QEvent::ShortcutOverride && e->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, e);
    auto* key = static_cast<QKeyEvent*>(e);
    // The box claims Ctrl+X (cut) before shortcuts are matched; the menu's
    // key wins, as in the program's other windows.
    if (e->type() == QEvent::ShortcutOverride) {
        if (QKeySequence(key->keyCombination()) != Exit1->shortcut()) return false;
        e->ignore();
        return true;
    }
    // Up and down in the box walk the list.
    if (watched == Edit1 && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down ||
                             key->key() == Qt::Key_PageUp || key->key() == Qt::Key_PageDown)) {
        QApplication::sendEvent(Results, e);
        return true;
    }
    return false;
}
