#pragma once
// "定期入力": the scheduled entries' window, from the ﾌｧｲﾙ menu, the
// calendar's forecasts, and the catch-up after a month is entered.

#include "windows/dialog_feature.h"
#include "windows/schedule_window.h"

class ScheduleFeature : public DialogFeature<ScheduleWindow> {
public:
    explicit ScheduleFeature(std::function<Date()> today) : today_(std::move(today)) {}
    void install(CommandHost& host) override;
    void attach(CommandHost& host) override;

private:
    std::function<Date()> today_;
};
