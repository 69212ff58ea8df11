// Program start: the application object, then either a command-line export
// or the windows in their order, the main window first. Each window lives
// until the program ends.
#include "app/command_line.h"
#include "shell/application.h"
#include "shell/first_paint.h"
#include "shell/zadud.h"
#include "windows/change_history.h"
#include "windows/diary_search.h"
#include "windows/help_window.h"
#include "windows/hikei.h"
#include "windows/ichiran.h"
#include "windows/list1.h"
#include "windows/nikiset.h"
#include "windows/nikki.h"
#include "windows/nyukin.h"
#include "windows/ver.h"
#include "windows/year_overview.h"

#include <QDir>

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
    ChangeHistory history(&form1);
    form1.setChangeHistory(&history);
    HelpWindow help(&form1);
    form1.setHelpHandler([&help](const QString& helpFile) { help.showContents(helpFile); });

    FirstPaintReport::watch(&form1);
    form1.show();
    return app.exec();
}
