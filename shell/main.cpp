// Program start: the application object, then the windows in their order,
// the main window first. Each window lives until the program ends.
#include "shell/application.h"
#include "shell/zadud.h"

#include <QDir>

int main(int argc, char** argv) {
    Application app(argc, argv);

    TForm1 form1;
    form1.setHelpFile(QDir(QCoreApplication::applicationDirPath()).filePath("Zadud.hlp"));
    // form2: daily sheet
    // form3: diary
    // form4: settings
    // form5: amount entry
    // form6: version
    // form7: monthly list

    form1.show();
    return app.exec();
}
