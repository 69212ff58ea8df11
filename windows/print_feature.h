#pragma once
// "印刷..." and "PDF出力...": the month's printout, from the ﾌｧｲﾙ menu.

#include "shell/feature.h"
#include "windows/list1.h"

#include <memory>

class PrintFeature : public Feature {
public:
    void install(CommandHost& host) override;
    void attach(CommandHost& host) override;
    TForm8* printer() const { return form8_.get(); }

private:
    QAction* print_ = nullptr;
    QAction* pdf_ = nullptr;
    std::unique_ptr<TForm8> form8_;
};
