#include "windows/sync_review.h"

#include "shell/book_document.h"
#include "shell/error_box.h"
#include "shell/window_style.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString side(const SyncSide& s) {
    // "3,480 (laptop 2026-12-08 23:40)"
    QString when = QString::fromStdString(s.time).replace('T', ' ');
    if (when.size() > 16) when.truncate(16);
    return QStringLiteral("%1 (%2 %3)")
        .arg(QString::fromStdString(s.shown), QString::fromStdString(s.pc), when);
}

} // namespace

SyncReview::SyncReview(BookDocument& doc, QWidget* parent) : QDialog(parent), doc_(doc) {
    setObjectName(QStringLiteral("SyncReview"));
    setWindowTitle(QStringLiteral("同期の確認"));
    setFont(WindowStyle::font(WindowStyle::GothicP, 12, false));
    resize(640, 320);
    auto* layout = new QVBoxLayout(this);
    caption_ = new QLabel(this);
    caption_->setObjectName(QStringLiteral("caption"));
    caption_->setWordWrap(true);
    layout->addWidget(caption_);
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("conflicts"));
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setHeaderLabels({QStringLiteral("項目"), QStringLiteral("元の値"),
                            QStringLiteral("一方の変更"), QStringLiteral("他方の変更")});
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    list_->setAccessibleName(QStringLiteral("同期の競合"));
    caption_->setBuddy(list_);
    layout->addWidget(list_, 1);

    auto* row = new QHBoxLayout;
    keepFirst_ = new QPushButton(QStringLiteral("一方を残す(&1)"), this);
    keepFirst_->setObjectName(QStringLiteral("keepFirst"));
    keepSecond_ = new QPushButton(QStringLiteral("他方を残す(&2)"), this);
    keepSecond_->setObjectName(QStringLiteral("keepSecond"));
    sum_ = new QPushButton(QStringLiteral("両方の変更を合計(&3)"), this);
    sum_->setObjectName(QStringLiteral("sum"));
    for (QPushButton* b : {keepFirst_, keepSecond_, sum_}) {
        b->setAutoDefault(false);
        row->addWidget(b);
    }
    row->addStretch(1);
    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setObjectName(QStringLiteral("close"));
    close->setAutoDefault(false);
    row->addWidget(close);
    layout->addLayout(row);

    connect(keepFirst_, &QPushButton::clicked, this,
            [this] { runGuarded([this] { settleSelected(SyncChoice::KeepFirst); }); });
    connect(keepSecond_, &QPushButton::clicked, this,
            [this] { runGuarded([this] { settleSelected(SyncChoice::KeepSecond); }); });
    connect(sum_, &QPushButton::clicked, this,
            [this] { runGuarded([this] { settleSelected(SyncChoice::Sum); }); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QTreeWidget::currentItemChanged, this, [this] { showButtons(); });
}

void SyncReview::fill() {
    conflicts_ = doc_.syncConflicts();
    list_->clear();
    for (const SyncConflict& c : conflicts_)
        list_->addTopLevelItem(new QTreeWidgetItem(QStringList{QString::fromStdString(c.unit),
                                                               QString::fromStdString(c.start),
                                                               side(c.first), side(c.second)}));
    caption_->setText(conflicts_.empty()
                          ? QStringLiteral("確認の必要な値はありません。")
                          : QStringLiteral("ふたつの PC で違う値に変えられた項目です(&L)。"
                                           "残す値を選んでください。"));
    if (!conflicts_.empty()) list_->setCurrentItem(list_->topLevelItem(0));
    showButtons();
}

void SyncReview::showConflicts() {
    fill();
    list_->setFocus();
    Modal::exec(this);
}

void SyncReview::showButtons() {
    const int row = list_->currentItem() ? list_->indexOfTopLevelItem(list_->currentItem()) : -1;
    const bool any = row >= 0;
    keepFirst_->setEnabled(any);
    keepSecond_->setEnabled(any);
    sum_->setEnabled(any && conflicts_[row].canSum);
    if (!any) return;
    const SyncConflict& c = conflicts_[row];
    keepFirst_->setText(QStringLiteral("%1 を残す(&1)").arg(QString::fromStdString(c.first.shown)));
    keepSecond_->setText(
        QStringLiteral("%1 を残す(&2)").arg(QString::fromStdString(c.second.shown)));
}

void SyncReview::settleSelected(SyncChoice choice) {
    QTreeWidgetItem* item = list_->currentItem();
    if (!item) return;
    const int row = list_->indexOfTopLevelItem(item);
    if (choice == SyncChoice::Sum && !conflicts_[row].canSum) return;
    doc_.settleConflict(conflicts_[row], choice);
    fill();
    // The next row stays where the settled one was.
    const int left = list_->topLevelItemCount();
    if (left > 0) list_->setCurrentItem(list_->topLevelItem(std::min(row, left - 1)));
    list_->setFocus();
}
