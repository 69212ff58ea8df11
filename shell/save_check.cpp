#include "shell/save_check.h"

#include "shell/error_box.h"

#include <QMessageBox>
#include <QPushButton>

Book::Answer askReplace(QWidget* parent, const std::string& path, Book::FileChange change) {
    const QString what = change == Book::FileChange::Created
                             ? QStringLiteral("ほかのﾌﾟﾛｸﾞﾗﾑで作成されました")
                         : change == Book::FileChange::Deleted
                             ? QStringLiteral("読み込んだ後にほかのﾌﾟﾛｸﾞﾗﾑで削除されました")
                             : QStringLiteral("読み込んだ後にほかのﾌﾟﾛｸﾞﾗﾑで変更されました");
    QMessageBox box(QMessageBox::Warning, ErrorBox::AppTitle,
                    QStringLiteral("%1 は、%2。\n\n"
                                   "上書き: ここでの内容で置き換えます。\n"
                                   "読み直し: ここでの変更を捨てて、ﾌｧｲﾙを読み直します。\n"
                                   "ｷｬﾝｾﾙ: 保存しません。")
                        .arg(QString::fromStdString(path), what),
                    QMessageBox::NoButton, parent);
    QPushButton* overwrite = box.addButton(QStringLiteral("上書き"), QMessageBox::AcceptRole);
    QPushButton* reload = box.addButton(QStringLiteral("読み直し"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QStringLiteral("ｷｬﾝｾﾙ"), QMessageBox::RejectRole);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    Modal::exec(&box);
    if (box.clickedButton() == overwrite) return Book::Answer::Overwrite;
    if (box.clickedButton() == reload) return Book::Answer::Reload;
    return Book::Answer::Cancel;
}

void ReadStamp::note(FileStore& files, const std::string& path, const FileStamp& stamp) {
    key_ = files.fileKey(path);
    stamp_ = stamp;
}

bool ReadStamp::confirmReplace(FileStore& files, QWidget* parent, const std::string& path) const {
    const FileStamp expected = files.fileKey(path) == key_ ? stamp_ : FileStamp{};
    const FileStamp now = files.stamp(path);
    if (now == expected) return true;
    const Book::FileChange change = !expected.exists ? Book::FileChange::Created
                                    : !now.exists    ? Book::FileChange::Deleted
                                                     : Book::FileChange::Changed;
    const Book::Answer answer = askReplace(parent, path, change);
    if (answer == Book::Answer::Cancel) throw Cancelled{};
    return answer == Book::Answer::Overwrite;
}
