#pragma once
// "予算設定": the budget window, from the 設定 menu, and the calendar's
// budget bars (each day's variable spending to date against its budget).

#include "windows/budget_window.h"
#include "windows/dialog_feature.h"

#include <QVector>

class BookDocument;

class BudgetFeature : public DialogFeature<BudgetWindow> {
public:
    void install(CommandHost& host) override;
    void attach(CommandHost& host) override;
    // The bars of the month in memory: empty without budgets.
    static QVector<double> dayBars(const BookDocument& document);
};
