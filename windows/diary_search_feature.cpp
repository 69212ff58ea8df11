#include "windows/diary_search_feature.h"

void DiarySearchFeature::install(CommandHost& host) {
    showsWindow(host.addMenuEntry(MenuPlace::FileWindows, QStringLiteral("日記検索"),
                                  QStringLiteral("diarySearch"),
                                  {QKeySequence(Qt::CTRL | Qt::Key_D)}));
}

void DiarySearchFeature::attach(CommandHost& host) {
    setWindow(std::make_unique<DiarySearchWindow>(&host));
}
