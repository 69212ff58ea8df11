// Program start: the application object, then either a command-line export
// or the windows in their order, the main window first. Each window lives
// until the program ends.
#include "app/command_line.h"
#include "app/schedule_command.h"
#include "ledger/statement_post.h"
#include "shell/application.h"
#include "shell/error_box.h"
#include "shell/first_paint.h"
#include "shell/zadud.h"
#include "windows/backup_window.h"
#include "windows/budget_window.h"
#include "windows/change_history.h"
#include "windows/diary_search.h"
#include "windows/help_window.h"
#include "windows/hikei.h"
#include "windows/ichiran.h"
#include "windows/list1.h"
#include "windows/nikiset.h"
#include "windows/nikki.h"
#include "windows/nyukin.h"
#include "windows/schedule_window.h"
#include "windows/statement_import.h"
#include "windows/ver.h"
#include "windows/year_overview.h"

#include <QDir>
#include <QTimer>

int main(int argc, char** argv) {
    // An export draws fonts and pages but shows nothing, so it runs where
    // there is no display at all.
    if (wantsNoWindow(argc, argv) && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    if (const int code = runCommandLine(app); code >= 0) return code;

    TForm1 form1;
    form1.setHelpFile(QDir(QCoreApplication::applicationDirPath()).filePath("Zadud.hlp"));
    TForm2 form2(&form1);
    form1.setDailySheet(&form2);
    form1.setSheetFiller([&] { SheetDisp(form1, form2); });
    TForm3 form3(&form1);
    form1.setDiary(&form3);
    TForm4 form4(&form1);
    form1.setSettings(&form4);
    form1.setLocationChecks([&](const QString& p) { return form4.checkLedgerLocation(p); },
                            [&](const QString& p) { return form4.checkDiaryLocation(p); });
    TForm5 form5(&form1, &form2);
    form2.setAmountDialog(&form5);
    TForm6 form6(&form1);
    form1.setVersion(&form6);
    TForm7 form7(&form1);
    form1.setMonthlyList(&form7);
    TForm8 form8(&form1);
    form1.setPrintHandlers([&form8] { form8.Print1Click(); }, [&form8] { form8.Pdf1Click(); });
    YearOverview yearOverview(&form1);
    form1.setYearOverview(&yearOverview);
    DiarySearchWindow diarySearch(&form1);
    form1.setDiarySearch(&diarySearch);
    BudgetWindow budget(&form1);
    form1.setBudgetWindow(&budget);
    ScheduleWindow schedule(&form1, todayDate);
    form1.setScheduleWindow(&schedule, [&schedule] { schedule.catchUp(); });
    ChangeHistory history(&form1);
    form1.setChangeHistory(&history);
    StatementImportWindow statementImport(&form1);
    statementImport.setPoster([&form1](std::vector<StatementRow>& rows, ImportSideFiles& files) {
        postStatementRows(form1.book(), rows, files);
        // Saved at once, as the daily sheet saves what is typed; a failed
        // save is shown and the amounts stay in memory, as typed ones would.
        runGuarded([&form1] { form1.MonthSave(); });
    });
    form1.setStatementImport([&statementImport] { statementImport.Open1Click(); });
    HelpWindow help(&form1);
    form1.setHelpHandler([&help](const QString& helpFile) { help.showContents(helpFile); });

    FirstPaintReport::watch(&form1);
    // Every save keeps the version it replaces; a backup that fails is told
    // once, after the save that met it has finished.
    BackupStore backups([&form1] {
        return BookFolders{form1.StartDir.toStdString(), form1.LedgerDir.toStdString(),
                           form1.DiaryDir.toStdString()};
    });
    backups.setFailureHandler([](const std::string& message) {
        const QString text = QString::fromStdString(message);
        QTimer::singleShot(0, [text] { ErrorBox::show(text); });
    });
    setBackupHook(backups.hook());
    BackupWindow backupWindow(&form1, &backups);
    form1.setBackupHandlers([&backupWindow] { backupWindow.showMonth(); },
                            [&backupWindow] { backupWindow.exportBook(); },
                            [&backupWindow] { backupWindow.importBook(); });
    form3.setVersionChooser([&backupWindow](int y, int m, int d, std::string& bytes) {
        return backupWindow.chooseDiaryVersion(y, m, d, bytes);
    });

    form1.show();
    const int code = app.exec();
    setBackupHook({});
    return code;
}
