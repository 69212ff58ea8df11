#include "windows/budget_feature.h"

#include "ledger/period_figures.h"
#include "shell/book_document.h"
#include "shell/calendar.h"

void BudgetFeature::install(CommandHost& host) {
    showsWindow(host.addMenuEntry(MenuPlace::SettingsMenu, QStringLiteral("予算設定"),
                                  QStringLiteral("budget"), {QKeySequence(Qt::CTRL | Qt::Key_B)}));
    BookDocument& document = host.document();
    host.setDayBars([&document] { return dayBars(document); });
}

void BudgetFeature::attach(CommandHost& host) {
    setWindow(std::make_unique<BudgetWindow>(&host));
}

namespace {

// Per day from the first: the day's bar, or -1 for none. Days after the last
// one with variable spending have nothing to say yet.
QVector<double> barsOf(const std::vector<BudgetDay>& byDay) {
    QVector<double> bars;
    std::size_t last = byDay.size();
    while (last > 0 && byDay[last - 1].spent == (last > 1 ? byDay[last - 2].spent : 0))
        --last;
    for (std::size_t d = 0; d < last; ++d)
        bars.append(byDay[d].allowed > 0 ? double(byDay[d].spent) / double(byDay[d].allowed)
                    : byDay[d].spent > 0 ? 2.0
                                         : -1.0);
    return bars;
}

} // namespace

QVector<double> BudgetFeature::dayBars(const BookDocument& document) {
    const BudgetSummary s = document.monthBudget(0);
    if (!s.any) return {};
    // Marked amounts count as the budgets count them: not at all.
    const MonthReader counted = document.countedMonths();
    if (!document.periodRule().calendar())
        return barsOf(periodBudgetByDay(s, readPeriodLedger(document.shownRange(), counted)));
    const int days = TCalendar::daysInMonth(document.year(), document.month());
    const auto byDay = variableBudgetByDay(s, counted(document.year(), document.month()), days);
    std::vector<BudgetDay> list;
    for (int d = 1; d <= days; ++d)
        list.push_back(byDay[d]);
    return barsOf(list);
}
