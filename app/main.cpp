// Program start: the application object, then either a command-line export
// or the windows in their order, the main window first. The main window is
// shown before the others are made: they come right after its first frame
// (see StartUp). Each window lives until the program ends.
#include "app/command_line.h"
#include "app/display_wait.h"
#include "app/runtime_warning.h"
#include "app/schedule_command.h"
#include "app/single_copy.h"
#include "shell/application.h"
#include "shell/error_box.h"
#include "shell/session_end.h"
#include "shell/start_up.h"
#include "shell/zadud.h"
#include "storage/backup_files.h"
#include "storage/disk_store.h"
#include "storage/pc_name.h"
#include "windows/feature_list.h"
#include "windows/help_window.h"
#include "windows/hikei.h"
#include "windows/ichiran.h"
#include "windows/list1.h"
#include "windows/nikiset.h"
#include "windows/nikki.h"
#include "windows/nyukin.h"
#include "windows/ver.h"

#include <QDir>
#include <QTimer>
#include <fontconfig/fontconfig.h>
#include <memory>
#include <thread>

namespace {

// The main window's own windows after the main one, made in their order and
// wired to it.
struct LaterWindows {
    explicit LaterWindows(TForm1& form1)
        : form2(&form1), form3(&form1), form4(&form1), form5(&form1, &form2), form6(&form1),
          form7(&form1), help(&form1) {
        form1.setDailySheet(&form2);
        form1.setSheetFiller([&form1, this] { SheetDisp(form1, form2); });
        form1.setDiary(&form3);
        form1.setSettings(&form4);
        form1.document().setLocationChecks(
            [this](const QString& p) { return form4.checkLedgerLocation(p); },
            [this](const QString& p) { return form4.checkDiaryLocation(p); });
        form2.setAmountDialog(&form5);
        form1.setVersion(&form6);
        form1.setMonthlyList(&form7);
        form1.setHelpHandler([this](const QString& helpFile) { help.showContents(helpFile); });
    }

    TForm2 form2;
    TForm3 form3;
    TForm4 form4;
    TForm5 form5;
    TForm6 form6;
    TForm7 form7;
    HelpWindow help;
};

} // namespace

int main(int argc, char** argv) {
    // An export draws fonts and pages but shows nothing, so it runs where
    // there is no display at all, or none up.
    const bool windows = !wantsNoWindow(argc, argv);
    const std::string display = qEnvironmentVariable("DISPLAY").toStdString();
    const bool noWayland = qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (!windows) {
        if (noWayland && (display.empty() || !waitForLocalDisplay(display, 0)))
            qputenv("QT_QPA_PLATFORM", "offscreen");
    } else if (noWayland && !display.empty() &&
               (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
                qEnvironmentVariable("QT_QPA_PLATFORM").startsWith(QLatin1String("xcb")))) {
        // A server still coming up gets a few seconds; one that never comes
        // is reported by Qt as before.
        waitForLocalDisplay(display, 5000);
    }
    // Reading the system's font configuration takes longer than anything
    // else before the first frame. It is read on a second thread while the
    // application connects to the display, and waited for before the first
    // font is asked for.
    std::thread fonts;
    if (windows) fonts = std::thread([] { FcInit(); });
    if (!windows)
        quietQtMessages();
    else
        dropRuntimeDirWarning();
    // Each PC sharing the book writes its own journal, named after it.
    Book::setDefaultPcName(localPcName());
    Application app(argc, argv);
    if (fonts.joinable()) fonts.join();
    if (const int code = runCommandLine(app); code >= 0) return code;

    // One running copy per book: a second start brings the first to the
    // front, so two windows never post or undo on one book.
    BookLock bookLock(QDir::currentPath().toStdString());
    if (!bookLock.acquire(0)) {
        if (bookLock.handOver(3000)) return 0;
        // A command-line write may be finishing.
        if (!bookLock.acquire(3000)) {
            ErrorBox::show(QStringLiteral("この家計簿は別の家計簿ﾌﾟﾛｸﾞﾗﾑが使っています"));
            return 1;
        }
    }

    // Docks and Wayland compositors match the windows to the launcher by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("jp.zadud.Kakeibo"));
    // Every save keeps the version it replaces, from the first one on; a
    // backup that fails is told once, after the save that met it has finished.
    DiskStore disk;
    const BookDocument* bookFolders = nullptr;
    // Each PC keeps its backups apart: the data folders may be shared.
    BackupStore backups(disk, [&bookFolders, pc = localPcName()] {
        const Book& book = bookFolders->book();
        return BookFolders{book.startDir(), book.ledgerDir(), book.diaryDir(), pc};
    });
    BookDocument document(QDir::currentPath().toStdString(), backups);
    bookFolders = &document;
    TForm1 form1(document);
    form1.setHelpFile(QDir(QCoreApplication::applicationDirPath()).filePath("Zadud.hlp"));
    backups.setFailureHandler([](const std::string& message) {
        const QString text = QString::fromStdString(message);
        QTimer::singleShot(0, [text] { ErrorBox::show(text); });
    });

    // The features beyond the main window's own: entries now, windows with
    // the others.
    ProgramFeatures features(&backups, todayDate);
    features.install(form1);
    std::unique_ptr<LaterWindows> later;
    new StartUp(&form1, [&] {
        later = std::make_unique<LaterWindows>(form1);
        features.attach(form1);
        BackupWindow* backupWindow = features.backup.window();
        later->form3.setVersionChooser([backupWindow](int y, int m, int d, std::string& bytes) {
            return backupWindow->chooseDiaryVersion(y, m, d, bytes);
        });
    });
    saveAtSessionEnd(app, [&document, &later] {
        // The open diary's text first: no question can be asked now, so it
        // is kept as a draft, offered at its next opening.
        if (later) later->form3.sessionEnds();
        runGuarded([&document] { document.saveAtEnd(); });
    });
    form1.show();
    // A start after the window closed waits for the lock, not for a copy on
    // its way out that would raise its window and end all the same.
    QObject::connect(&app, &QGuiApplication::lastWindowClosed, &app,
                     [&bookLock] { bookLock.stopListening(); });
    bookLock.listen([&form1] {
        form1.setWindowState(form1.windowState() & ~Qt::WindowMinimized);
        form1.show();
        form1.raise();
        form1.activateWindow();
    });
    const int code = app.exec();
    bookLock.stopListening();
    later.reset();
    return code;
}
