#pragma once
// The application object: title, help file, and the last-resort catch for an
// exception that escapes an event handler.

#include <QApplication>

class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
