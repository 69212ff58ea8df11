#pragma once
// "日記検索": the diary search, from the ﾌｧｲﾙ menu.

#include "windows/dialog_feature.h"
#include "windows/diary_search.h"

class DiarySearchFeature : public DialogFeature<DiarySearchWindow> {
public:
    void install(CommandHost& host) override;
    void attach(CommandHost& host) override;
};
