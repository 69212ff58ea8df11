#include "windows/year_overview_feature.h"

void YearOverviewFeature::install(CommandHost& host) {
    QAction* open = showsWindow(host.addMenuEntry(
        MenuPlace::FileWindows, QStringLiteral("年間一覧"), QStringLiteral("yearOverview"),
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Y)}));
    host.addToolButton(open, 50, QStringLiteral("yearOverviewButton"));
}

void YearOverviewFeature::attach(CommandHost& host) {
    setWindow(std::make_unique<YearOverview>(&host));
}
