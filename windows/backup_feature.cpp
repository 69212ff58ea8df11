#include "windows/backup_feature.h"

void BackupFeature::install(CommandHost& host) {
    auto entry = [&host, this](const QString& caption, const QString& name, auto run) {
        onTriggered(enables(host.addMenuEntry(MenuPlace::FileData, caption, name)), [this, run] {
            if (window()) (window()->*run)();
        });
    };
    entry(QStringLiteral("バックアップから復元..."), QStringLiteral("restore"),
          &BackupWindow::showMonth);
    entry(QStringLiteral("データの書き出し..."), QStringLiteral("exportBook"),
          &BackupWindow::exportBook);
    entry(QStringLiteral("データの読み込み..."), QStringLiteral("importBook"),
          &BackupWindow::importBook);
}

void BackupFeature::attach(CommandHost& host) {
    setWindow(std::make_unique<BackupWindow>(&host, store_));
}
