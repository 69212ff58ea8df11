#pragma once
// "明細の取り込み...": a bank or card statement posted into the book, from
// the ﾌｧｲﾙ menu.

#include "windows/dialog_feature.h"
#include "windows/statement_import.h"

class StatementImportFeature : public DialogFeature<StatementImportWindow> {
public:
    void install(CommandHost& host) override;
    void attach(CommandHost& host) override;
};
