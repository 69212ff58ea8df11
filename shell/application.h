#pragma once
// The application object: title, help file, and the last-resort catch for an
// exception that escapes an event handler.

#include <QApplication>

class QStyle;

// The style the program starts with: the style named by baseKey, with the
// menu bar's overflow picture drawn instead of read from a file.
QStyle* newStartStyle(const QString& baseKey);

class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
