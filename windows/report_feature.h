#pragma once
// "分析": the report window, from the ﾌｧｲﾙ menu.

#include "windows/dialog_feature.h"
#include "windows/report_window.h"

class ReportFeature : public DialogFeature<ReportWindow> {
public:
    // `today` gives the day the month so far runs to.
    explicit ReportFeature(std::function<Date()> today) : today_(std::move(today)) {}
    void install(CommandHost& host) override;
    void attach(CommandHost& host) override;

private:
    std::function<Date()> today_;
};
