// The floor for the start-up figure: an empty Qt window of the main window's
// size, reporting its first paint the same way the program does.
#include "shell/first_paint.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(534, 370);
    FirstPaintReport::watch(&window);
    window.show();
    return app.exec();
}
