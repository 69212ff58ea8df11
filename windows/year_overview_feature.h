#pragma once
// "年間一覧": the year overview, from the ﾌｧｲﾙ menu and the toolbar.

#include "windows/dialog_feature.h"
#include "windows/year_overview.h"

class YearOverviewFeature : public DialogFeature<YearOverview> {
public:
    void install(CommandHost& host) override;
    void attach(CommandHost& host) override;
};
