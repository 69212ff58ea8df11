#include "windows/line_search_feature.h"

void LineSearchFeature::install(CommandHost& host) {
    showsWindow(host.addMenuEntry(MenuPlace::FileWindows, QStringLiteral("明細検索"),
                                  QStringLiteral("lineSearch"),
                                  {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)}));
}

void LineSearchFeature::attach(CommandHost& host) {
    setWindow(std::make_unique<LineSearchWindow>(&host));
}
