#include "windows/report_feature.h"

void ReportFeature::install(CommandHost& host) {
    showsWindow(host.addMenuEntry(MenuPlace::FileWindows, QStringLiteral("分析"),
                                  QStringLiteral("report"),
                                  {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A)}));
}

void ReportFeature::attach(CommandHost& host) {
    setWindow(std::make_unique<ReportWindow>(&host, today_));
}
