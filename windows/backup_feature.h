#pragma once
// The backups' three commands in the ﾌｧｲﾙ menu: the shown month's kept
// versions, and the account book's archive written and read.

#include "windows/backup_window.h"
#include "windows/dialog_feature.h"

class BackupFeature : public DialogFeature<BackupWindow> {
public:
    explicit BackupFeature(BackupStore* store) : store_(store) {}
    void install(CommandHost& host) override;
    void attach(CommandHost& host) override;

private:
    BackupStore* store_;
};
