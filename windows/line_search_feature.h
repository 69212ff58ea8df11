#pragma once
// "明細検索": the entry line search, from the ﾌｧｲﾙ menu.

#include "windows/dialog_feature.h"
#include "windows/line_search.h"

class LineSearchFeature : public DialogFeature<LineSearchWindow> {
public:
    void install(CommandHost& host) override;
    void attach(CommandHost& host) override;
};
