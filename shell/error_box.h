#pragma once
// The program-wide error box and the guard that keeps exceptions out of Qt's
// frames. Every handler that can fail is connected through guarded(); an
// error ends the handler and is shown in the one box.

#include "ledger/errors.h" // Cancelled
#include <QMessageBox>
#include <QString>
#include <exception>
#include <functional>
#include <memory>

class QDialog;

namespace ErrorBox {

// The application title: caption of every error box.
inline const QString AppTitle = QStringLiteral("家計簿 Ver 1.３");

// The text shown for a message: "." is appended when the last character
// sorts after ".".
QString displayText(const QString& message);

// Builds the box without showing it: caption, stop icon, OK, text.
std::unique_ptr<QMessageBox> build(const QString& message, QWidget* parent = nullptr);

// Shows the box modally, or hands the text to the test recorder when set.
void show(const QString& message);
void showException(const std::exception_ptr& error);

// Test seam: while set, show() records instead of opening a modal box.
void setRecorder(std::function<void(const QString& text)> recorder);

// The same box for good news: the application's caption, an information
// icon, the text as given. Used where an action wrote a file, to say where.
std::unique_ptr<QMessageBox> buildNote(const QString& message, QWidget* parent = nullptr);
void inform(const QString& message);
// "<what>: <the file's full path>", the way inform() names a file written.
QString writtenText(const QString& what, const QString& path);
// Test seam: while set, inform() records instead of opening a modal box.
void setInformRecorder(std::function<void(const QString& text)> recorder);

} // namespace ErrorBox

// Runs `fn`; an exception is shown in the error box (Cancelled is not).
// Returns false when it failed.
bool runGuarded(const std::function<void()>& fn);

template <typename Obj, typename Fn> auto guarded(Obj* obj, Fn fn) {
    return [obj, fn]() { runGuarded([obj, fn]() { (obj->*fn)(); }); };
}

namespace Modal {

// Shows a window modally. Tests replace the runner so that no modal loop
// ever blocks; the default runs QDialog::exec.
void exec(QDialog* dialog);
void setRunner(std::function<void(QDialog*)> runner);

// Every question the program asks: the application's caption, Qt's own
// (translated) buttons, shown through exec() so that tests answer it. The
// box is named `objectName` for them. Returns the button chosen; a box
// closed without an answer counts as the default button's opposite, No.
QMessageBox::StandardButton
ask(const QString& text, const QString& objectName,
    QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
    QMessageBox::StandardButton defaultButton = QMessageBox::No,
    QMessageBox::Icon icon = QMessageBox::Question, QWidget* parent = nullptr);

} // namespace Modal
