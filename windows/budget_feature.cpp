#include "windows/budget_feature.h"

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

QVector<double> BudgetFeature::dayBars(const BookDocument& document) {
    QVector<double> bars;
    const BudgetSummary s = document.monthBudget(0);
    if (!s.any) return bars;
    const int days = TCalendar::daysInMonth(document.year(), document.month());
    const auto byDay = variableBudgetByDay(s, document.ledger(), days);
    // Days after the last one with variable spending have nothing to say yet.
    int last = days;
    while (last > 0 && byDay[last].spent == (last > 1 ? byDay[last - 1].spent : 0))
        --last;
    for (int d = 1; d <= last; ++d)
        bars.append(byDay[d].allowed > 0 ? double(byDay[d].spent) / double(byDay[d].allowed)
                    : byDay[d].spent > 0 ? 2.0
                                         : -1.0);
    return bars;
}
