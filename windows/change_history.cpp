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
    Exit1 = addCommand(frame.fileMenu, QStringLiteral("終了"), Qt::Key_X);
    connect(Exit1, &QAction::triggered, this, guarded(this, &ChangeHistory::Exit1Click));

    auto* box = new QWidget(frame.panel);
    auto* layout = new QVBoxLayout(box);
    List = new QTreeWidget(box);
    List->setObjectName(QStringLiteral("List"));
    List->setAccessibleName(QStringLiteral("変更の一覧"));
    List->setRootIsDecorated(false);
    List->setHeaderLabels({QStringLiteral("日時"), QStringLiteral("月"), QStringLiteral("日"),
                           QStringLiteral("項目"), QStringLiteral("変更"),
                           QStringLiteral("入力元")});
    List->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(List);
    BackTo = new QPushButton(QStringLiteral("この変更の直後まで戻す"), box);
    BackTo->setObjectName(QStringLiteral("BackTo"));
    layout->addWidget(BackTo, 0, Qt::AlignRight);
    frame.panelLayout->addWidget(box);
    connect(BackTo, &QPushButton::clicked, this, guarded(this, &ChangeHistory::BackToClick));
    connect(List, &QTreeWidget::itemDoubleClicked, this,
            [this] { runGuarded([this] { BackToClick(); }); });
    resize(720, 420);
}

void ChangeHistory::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!e->spontaneous()) runGuarded([this] { FormActivate(); });
}

void ChangeHistory::FormActivate() {
    List->clear();
    for (const Book::HistoryRow& row : doc_->book().history()) {
        auto* item = new QTreeWidgetItem(List);
        const QStringList texts = {QString::fromStdString(row.time).replace('T', ' '),
                                   QString::fromStdString(row.month),
                                   QString::fromStdString(row.day),
                                   QString::fromStdString(row.item),
                                   QString::fromStdString(row.change),
                                   QString::fromStdString(row.source)};
        for (int c = 0; c < texts.size(); ++c) {
            item->setText(c, texts[c]);
            // Undone steps stay listed, greyed, until a new change drops them.
            if (row.undone) item->setForeground(c, Theme::muted(List->palette()));
        }
        item->setData(0, GroupRole, QVariant::fromValue<qulonglong>(row.group));
    }
    if (List->topLevelItemCount() > 0) List->setCurrentItem(List->topLevelItem(0));
}

void ChangeHistory::BackToClick() {
    QTreeWidgetItem* item = List->currentItem();
    if (!item) return;
    doc_->undoBackTo(item->data(0, GroupRole).toULongLong());
    FormActivate();
}

void ChangeHistory::Exit1Click() {
    accept();
}
