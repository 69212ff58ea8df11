#include "windows/change_history_feature.h"

void ChangeHistoryFeature::install(CommandHost& host) {
    showsWindow(host.addMenuEntry(MenuPlace::EditHistory, QStringLiteral("変更履歴..."),
                                  QStringLiteral("changeHistory")));
}

void ChangeHistoryFeature::attach(CommandHost& host) {
    setWindow(std::make_unique<ChangeHistory>(&host));
}
