#include "shell/save_check.h"

#include "shell/error_box.h"

#include <QMessageBox>
#include <QPushButton>
#include <climits>
#include <cstdlib>

namespace {

// One file under any spelling of its folder ("..", a linked folder).
std::string fileKey(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return path;
    char folder[PATH_MAX];
    if (!::realpath(slash == 0 ? "/" : path.substr(0, slash).c_str(), folder)) return path;
    return joinPath(folder, path.substr(slash + 1));
}

} // namespace

void ReadStamp::note(const std::string& path, const FileStamp& stamp) {
    key_ = fileKey(path);
    stamp_ = stamp;
}

bool ReadStamp::confirmReplace(QWidget* parent, const std::string& path) const {
    const FileStamp expected = fileKey(path) == key_ ? stamp_ : FileStamp{};
    const FileStamp now = currentStamp(path);
    if (now == expected) return true;

    const QString what = !expected.exists ? QStringLiteral("ほかのﾌﾟﾛｸﾞﾗﾑで作成されました")
                         : !now.exists
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
    if (box.clickedButton() == overwrite) return true;
    if (box.clickedButton() == reload) return false;
    throw Cancelled{};
}
