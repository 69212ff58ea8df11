#include "windows/search_window.h"

#include "shell/error_box.h"
#include "shell/feature.h"
#include "shell/window_style.h"
#include "windows/background_search.h"
#include "windows/form_frame.h"
#include "windows/search_box_keys.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QShowEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

SearchWindow::SearchWindow(CommandHost* host, const Look& look)
    : QDialog(host->mainWindow()), host_(host), doc_(&host->document()) {
    setObjectName(look.name);
    setWindowTitle(look.title);
    setFont(WindowStyle::font(WindowStyle::GothicP, 12, false));

    const FormFrame frame = buildFormFrame(this);
    QMenu* file = frame.fileMenu;
    openAction_ = file->addAction(look.openCaption);
    openAction_->setObjectName(QStringLiteral("openAction"));
    openAction_->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    exitAction_ = addCommand(file, QStringLiteral("終了"), Qt::Key_X);

    auto* body = new QWidget(frame.panel);
    layout_ = new QVBoxLayout(body);
    layout_->setContentsMargins(4, 4, 4, 2);
    layout_->setSpacing(4);
    queryEdit_ = new QLineEdit(body);
    queryEdit_->setObjectName(QStringLiteral("queryEdit"));
    queryEdit_->setAccessibleName(look.boxName);
    queryEdit_->setPlaceholderText(look.placeholder);
    layout_->addWidget(queryEdit_);
    resultList_ = new QTreeWidget(body);
    resultList_->setObjectName(QStringLiteral("resultList"));
    resultList_->setColumnCount(look.columns.size());
    resultList_->setHeaderLabels(look.columns);
    resultList_->setRootIsDecorated(false);
    resultList_->setUniformRowHeights(true);
    resultList_->setAllColumnsShowFocus(true);
    resultList_->header()->setStretchLastSection(true);
    layout_->addWidget(resultList_, 1);
    statusLabel_ = new QLabel(body);
    statusLabel_->setObjectName(QStringLiteral("statusLabel"));
    layout_->addWidget(statusLabel_);
    frame.panelLayout->addWidget(body);

    queryEdit_->installEventFilter(this);
    search_ = new BackgroundSearch(this, look.pauseMs, [this] { startSearch(); });
    connect(queryEdit_, &QLineEdit::textChanged, search_, &BackgroundSearch::typed);
    connect(resultList_, &QTreeWidget::itemDoubleClicked, this,
            guarded(this, &SearchWindow::openSelectedDay));
    connect(openAction_, &QAction::triggered, this, guarded(this, &SearchWindow::openSelectedDay));
    connect(exitAction_, &QAction::triggered, this, &QDialog::reject);

    move(look.at);
    resize(look.size);
}

SearchWindow::~SearchWindow() {
    // Before the window's parts go: a search in flight stops and is waited for.
    delete search_;
}

void SearchWindow::searchNow() {
    search_->now();
}

bool SearchWindow::searching() const {
    return search_->pending();
}

void SearchWindow::openSelectedDay() {
    if (search_->pending()) {
        openWhenShown_ = true;
        if (search_->waiting()) search_->now();
        return;
    }
    openRow();
}

void SearchWindow::listFilled() {
    emit resultsShown();
    if (openWhenShown_) {
        openWhenShown_ = false;
        runGuarded([this] { openSelectedDay(); });
    }
}

void SearchWindow::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (e->spontaneous()) return;
    queryEdit_->selectAll();
    queryEdit_->setFocus();
    runGuarded([this] { searchNow(); });
}

void SearchWindow::hideEvent(QHideEvent* e) {
    QDialog::hideEvent(e);
    if (e->spontaneous()) return;
    openWhenShown_ = false;
    search_->cancel();
}

bool SearchWindow::eventFilter(QObject* watched, QEvent* e) {
    if (searchBoxKey(watched, e, queryEdit_, resultList_, exitAction_)) return true;
    return QDialog::eventFilter(watched, e);
}
