#pragma once
// Widgets need an application object; Google Benchmark's main makes none.

#include <QApplication>

inline void ensureQtApplication() {
    if (QApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "zadud_bench";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}
