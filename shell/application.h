#pragma once
// The application object: title, help file, and the last-resort catch for an
// exception that escapes an event handler.

#include <QApplication>

class QStyle;
class QTranslator;

// Qt's own Japanese (qtbase_ja from Qt's translations folder), so that its
// standard buttons and dialogs speak as the program does. False when the
// file is missing: Qt then stays English.
bool installQtTranslation(QTranslator& translator);

// The style the program starts with: the style named by baseKey, with the
// menu bar's overflow picture drawn instead of read from a file.
QStyle* newStartStyle(const QString& baseKey);

class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

private:
    QTranslator* qtTranslation_;
};
