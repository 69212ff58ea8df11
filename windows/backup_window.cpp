#include "windows/backup_window.h"

#include "late/late_parts.h"

#include "ledger/archive_folders.h"
#include "ledger/book.h"
#include "ledger/book_archive.h"
#include "ledger/diary_file.h"
#include "ledger/month_ledger.h"
#include "ledger/text_file.h"
#include "ledger/version_diff.h"
#include "shell/book_document.h"
#include "shell/calendar.h"
#include "shell/error_box.h"
#include "shell/feature.h"
#include "shell/window_style.h"

#include <QDateTime>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

BackupWindow::BackupWindow(CommandHost* host, BackupStore* store)
    : QDialog(host->mainWindow()), host_(host), doc_(&host->document()), store_(store) {
    setObjectName(QStringLiteral("BackupWindow"));
    setWindowTitle(QStringLiteral("バックアップから復元"));
    setFont(WindowStyle::font(WindowStyle::GothicP, 12, false));
    auto* layout = new QVBoxLayout(this);
    caption_ = new QLabel(this);
    caption_->setObjectName(QStringLiteral("caption"));
    layout->addWidget(caption_);
    versionList_ = new QTreeWidget(this);
    versionList_->setObjectName(QStringLiteral("versionList"));
    versionList_->setAccessibleName(QStringLiteral("保存された版"));
    versionList_->setHeaderLabels({QStringLiteral("保存日時"), QStringLiteral("今日との違い")});
    versionList_->setRootIsDecorated(false);
    versionList_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    layout->addWidget(versionList_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    restoreButton_ = new QPushButton(QStringLiteral("復元"), this);
    closeButton_ = new QPushButton(QStringLiteral("閉じる"), this);
    restoreButton_->setObjectName(QStringLiteral("restoreButton"));
    closeButton_->setObjectName(QStringLiteral("closeButton"));
    buttons->addWidget(restoreButton_);
    buttons->addWidget(closeButton_);
    layout->addLayout(buttons);
    resize(560, 320);

    connect(restoreButton_, &QPushButton::clicked, this,
            guarded(this, &BackupWindow::restoreSelected));
    connect(versionList_, &QTreeWidget::itemDoubleClicked, this,
            guarded(this, &BackupWindow::restoreSelected));
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::reject);

    askPath_ = [this](bool save) {
        const QString filter = QStringLiteral("zip (*.zip)");
        return save ? QFileDialog::getSaveFileName(this, QStringLiteral("データの書き出し"),
                                                   QStringLiteral("kakeibo.zip"), filter)
                    : QFileDialog::getOpenFileName(this, QStringLiteral("データの読み込み"),
                                                   QString(), filter);
    };
}

void BackupWindow::setPathAsker(std::function<QString(bool)> ask) {
    askPath_ = std::move(ask);
}

BookFolders BackupWindow::folders() const {
    return {doc_->book().startDir(), doc_->book().ledgerDir(), doc_->book().diaryDir()};
}

void BackupWindow::fillMonth() {
    diary_ = false;
    const int year = doc_->year(), month = doc_->month();
    caption_->setText(QString::fromStdString(monthLabel(year, month)));
    versions_ = store_->versions(joinPath(doc_->book().ledgerDir(), monthFileName(year, month)));
    versionList_->clear();
    for (const BackupVersion& v : versions_) {
        std::string summary;
        try {
            summary = monthChangeSummary(doc_->ledger(),
                                         monthOfBytes(doc_->ledger(), store_->bytesOf(v)));
        } catch (const std::exception& e) {
            summary = e.what(); // listed, and refused when chosen
        }
        versionList_->addTopLevelItem(new QTreeWidgetItem(
            {QDateTime::fromSecsSinceEpoch(v.time).toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")),
             QString::fromStdString(summary)}));
    }
    if (!versions_.empty()) versionList_->setCurrentItem(versionList_->topLevelItem(0));
    restoreButton_->setEnabled(!versions_.empty());
}

void BackupWindow::fillDiary(int year, int month, int day) {
    diary_ = true;
    caption_->setText(QStringLiteral("%1年%2月%3日の日記").arg(year).arg(month).arg(day));
    const std::string dir = doc_->book().diaryDir();
    versions_ = store_->versions(joinPath(dir, diaryFileName(year, month, day)));
    std::string today;
    readDiaryFile(doc_->files(), dir, year, month, day, today);
    versionList_->clear();
    for (const BackupVersion& v : versions_) {
        std::string summary;
        try {
            summary = diaryChangeSummary(today, store_->bytesOf(v));
        } catch (const std::exception& e) {
            summary = e.what();
        }
        versionList_->addTopLevelItem(new QTreeWidgetItem(
            {QDateTime::fromSecsSinceEpoch(v.time).toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")),
             QString::fromStdString(summary)}));
    }
    if (!versions_.empty()) versionList_->setCurrentItem(versionList_->topLevelItem(0));
    restoreButton_->setEnabled(!versions_.empty());
}

void BackupWindow::showMonth() {
    doc_->save(); // today is what the file holds
    fillMonth();
    Modal::exec(this);
}

bool BackupWindow::chooseDiaryVersion(int year, int month, int day, std::string& bytes) {
    fillDiary(year, month, day);
    chosen_ = false;
    Modal::exec(this);
    if (chosen_) bytes = chosenBytes_;
    return chosen_;
}

void BackupWindow::restoreSelected() {
    const int row = versionList_->indexOfTopLevelItem(versionList_->currentItem());
    if (row < 0 || row >= static_cast<int>(versions_.size())) return;
    const std::string bytes = store_->bytesOf(versions_[row]);
    if (diary_) {
        chosenBytes_ = bytes;
        chosen_ = true;
        accept();
        return;
    }
    Book& book = doc_->book();
    book.refuseIfHeld();
    const MonthKey shown{doc_->year(), doc_->month()};
    const MonthLedger version = monthOfBytes(book.ledger(), bytes);
    // One undo step; a cell the book refuses puts every other one back.
    Book::ChangeGroup group(book, ChangeSource::Restored,
                            "バックアップから復元 " + monthLabel(shown.year, shown.month));
    for (const CellChange& c : cellChanges(book.ledger(), version))
        book.setAmount(shown, c.item, c.day, c.expense ? AmountField::Expense : AmountField::Income,
                       c.to, ChangeSource::Restored);
    group.commit();
    doc_->save();
    accept();
}

void BackupWindow::exportBook() {
    const QString path = askPath_ ? askPath_(true) : QString();
    if (path.isEmpty()) return;
    doc_->save();
    writeBookArchive(doc_->files(), lateZip(), folders(), path.toStdString());
    ErrorBox::inform(ErrorBox::writtenText(QStringLiteral("データを書き出しました"), path));
}

void BackupWindow::importBook() {
    const QString path = askPath_ ? askPath_(false) : QString();
    if (path.isEmpty()) return;
    std::vector<ArchiveEntry> entries =
        readBookArchive(doc_->files(), lateZip(), path.toStdString());
    doc_->save();
    // Read here, the book lives here; a folder the archive names outside
    // its own book is asked about.
    const BookFolders current = folders();
    const BookFolders target =
        archiveTarget(
            entries, current.dataDir, current,
            [this](const std::string& what, const std::string& dir) {
                return Modal::ask(
                           QStringLiteral("ｱｰｶｲﾌﾞの%1の格納場所 %2 は元のﾃﾞｰﾀの"
                                          "ﾌｫﾙﾀﾞの外にあります。その場所を使いますか?"
                                          "\n(いいえ: このﾃﾞｰﾀのﾌｫﾙﾀﾞに読み込みます)")
                               .arg(QString::fromStdString(what), QString::fromStdString(dir)),
                           QStringLiteral("OutsideFolder"), QMessageBox::Yes | QMessageBox::No,
                           QMessageBox::No, QMessageBox::Question, this) == QMessageBox::Yes;
            })
            .folders;
    entries = placedEntries(std::move(entries), target);
    QStringList created, replaced;
    for (const RestoreStep& s : restorePlan(doc_->files(), target, entries)) {
        if (s.action == RestoreAction::Replace) replaced << QString::fromStdString(s.entry);
        if (s.action == RestoreAction::Create) created << QString::fromStdString(s.entry);
    }
    if (created.isEmpty() && replaced.isEmpty()) {
        ErrorBox::show(QStringLiteral("今のﾃﾞｰﾀと同じです"));
        return;
    }
    QString text = QStringLiteral("%1 から読み込みます。").arg(path);
    if (!replaced.isEmpty())
        text += QStringLiteral("\n置き換えるﾌｧｲﾙ (%1):\n  ").arg(replaced.size()) +
                replaced.mid(0, 20).join(QStringLiteral("\n  "));
    if (!created.isEmpty())
        text += QStringLiteral("\n新しいﾌｧｲﾙ (%1):\n  ").arg(created.size()) +
                created.mid(0, 20).join(QStringLiteral("\n  "));
    if (Modal::ask(text + QStringLiteral("\nよろしいですか?"), QStringLiteral("ImportConfirm"),
                   QMessageBox::Yes | QMessageBox::No, QMessageBox::No, QMessageBox::Question,
                   this) != QMessageBox::Yes)
        return;
    makeTargetFolders(target);
    restoreBookArchive(doc_->files(), target, entries);
    // The names, the month in memory, the side files and the journal come
    // from the files just written.
    doc_->reload();
    ErrorBox::inform(ErrorBox::writtenText(
        QStringLiteral("%1 個のﾌｧｲﾙを読み込みました").arg(created.size() + replaced.size()),
        QString::fromStdString(target.dataDir)));
}
