#pragma once
// "変更履歴...": the change history, from the 編集 menu.

#include "windows/change_history.h"
#include "windows/dialog_feature.h"

class ChangeHistoryFeature : public DialogFeature<ChangeHistory> {
public:
    void install(CommandHost& host) override;
    void attach(CommandHost& host) override;
};
