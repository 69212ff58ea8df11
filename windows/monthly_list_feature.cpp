#include "windows/monthly_list_feature.h"

#include "shell/error_box.h"

#include <QAction>

void MonthlyListFeature::install(CommandHost& host) {
    entry_ = host.addMenuEntry(MenuPlace::FileWindows, QStringLiteral("月別一覧"),
                               QStringLiteral("monthlyList"), {QKeySequence(Qt::CTRL | Qt::Key_M)});
    QObject::connect(entry_, &QAction::triggered, entry_,
                     [&host] { runGuarded([&host] { host.showMonthlyList(); }); });
}

void MonthlyListFeature::attach(CommandHost&) {
    entry_->setEnabled(true);
}
