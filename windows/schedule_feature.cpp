#include "windows/schedule_feature.h"

#include "shell/book_document.h"

#include <QTimer>

void ScheduleFeature::install(CommandHost& host) {
    showsWindow(host.addMenuEntry(MenuPlace::FileWindows, QStringLiteral("定期入力"),
                                  QStringLiteral("schedule")));
}

void ScheduleFeature::attach(CommandHost& host) {
    setWindow(std::make_unique<ScheduleWindow>(&host, today_));
    BookDocument& document = host.document();
    // The catch-up says its own trouble; the month is entered all the same.
    QObject::connect(&document, &BookDocument::monthEntered, window(),
                     [this] { runGuarded([this] { window()->catchUp(); }); });
    // Made after the month was entered (start-up makes it after the first
    // frame): what is due is asked for now.
    if (document.isOpen())
        QTimer::singleShot(0, window(), [this] { runGuarded([this] { window()->catchUp(); }); });
}
