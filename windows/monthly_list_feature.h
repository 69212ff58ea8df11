#pragma once
// "月別一覧" in the ﾌｧｲﾙ menu, with a key: the toolbar's button was its only
// way in.

#include "shell/feature.h"

class MonthlyListFeature : public Feature {
public:
    void install(CommandHost& host) override;
    void attach(CommandHost& host) override;

private:
    QAction* entry_ = nullptr;
};
