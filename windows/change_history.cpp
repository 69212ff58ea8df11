#include "windows/change_history.h"

#include "shell/book_document.h"
#include "shell/error_box.h"
#include "shell/feature.h"
#include "shell/theme.h"
#include "shell/window_style.h"
#include "windows/form_frame.h"

#include <QAction>
#include <QHeaderView>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
constexpr int GroupRole = Qt::UserRole + 1;
}

ChangeHistory::ChangeHistory(CommandHost* host)
    : QDialog(host->mainWindow()), host_(host), doc_(&host->document()) {
    setWindowTitle(QStringLiteral("変更履歴"));
    setFont(WindowStyle::font(WindowStyle::GothicP, 12, false));
    const FormFrame frame = buildFormFrame(this);
    exitAction_ = addCommand(frame.fileMenu, QStringLiteral("終了"), Qt::Key_X);
    connect(exitAction_, &QAction::triggered, this, &QDialog::accept);

    auto* box = new QWidget(frame.panel);
    auto* layout = new QVBoxLayout(box);
    changeList_ = new QTreeWidget(box);
    changeList_->setObjectName(QStringLiteral("changeList"));
    changeList_->setAccessibleName(QStringLiteral("変更の一覧"));
    changeList_->setRootIsDecorated(false);
    changeList_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(changeList_);
    backToButton_ = new QPushButton(QStringLiteral("この変更の直後まで戻す"), box);
    backToButton_->setObjectName(QStringLiteral("backToButton"));
    layout->addWidget(backToButton_, 0, Qt::AlignRight);
    frame.panelLayout->addWidget(box);
    connect(backToButton_, &QPushButton::clicked, this,
            guarded(this, &ChangeHistory::backToSelected));
    connect(changeList_, &QTreeWidget::itemDoubleClicked, this,
            [this] { runGuarded([this] { backToSelected(); }); });
    resize(720, 420);
}

void ChangeHistory::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!e->spontaneous()) runGuarded([this] { fillList(); });
}

QString ChangeHistory::pcLabel(const ChangeJournal& journal, uint64_t group) {
    const std::string pc = journal.stepPc(group);
    return pc == journal.ownPc() ? QStringLiteral("この PC") : QString::fromStdString(pc);
}

void ChangeHistory::fillList() {
    changeList_->clear();
    const std::vector<Book::HistoryRow> rows = doc_->book().history();
    // The PC is named only once another PC's journal is read beside ours; a
    // book kept on one PC keeps its columns as they were.
    const ChangeJournal& journal = doc_->book().journal();
    const bool severalPcs = !journal.peers().empty();
    QStringList headers = {QStringLiteral("日時"), QStringLiteral("月"),
                           QStringLiteral("日"),   QStringLiteral("項目"),
                           QStringLiteral("変更"), QStringLiteral("入力元")};
    if (severalPcs) headers << QStringLiteral("PC");
    changeList_->setColumnCount(headers.size());
    changeList_->setHeaderLabels(headers);
    for (const Book::HistoryRow& row : rows) {
        auto* item = new QTreeWidgetItem(changeList_);
        QStringList texts = {QString::fromStdString(row.time).replace('T', ' '),
                             QString::fromStdString(row.month),
                             QString::fromStdString(row.day),
                             QString::fromStdString(row.item),
                             QString::fromStdString(row.change),
                             QString::fromStdString(row.source)};
        if (severalPcs) texts << pcLabel(journal, row.group);
        for (int c = 0; c < texts.size(); ++c) {
            item->setText(c, texts[c]);
            // Undone steps stay listed, greyed, until a new change drops them.
            if (row.undone) item->setForeground(c, Theme::muted(changeList_->palette()));
        }
        item->setData(0, GroupRole, QVariant::fromValue<qulonglong>(row.group));
    }
    if (changeList_->topLevelItemCount() > 0)
        changeList_->setCurrentItem(changeList_->topLevelItem(0));
}

void ChangeHistory::backToSelected() {
    QTreeWidgetItem* item = changeList_->currentItem();
    if (!item) return;
    doc_->undoBackTo(item->data(0, GroupRole).toULongLong());
    fillList();
}
