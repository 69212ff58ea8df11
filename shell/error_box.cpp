#include "shell/error_box.h"

#include "ledger/errors.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QPointer>

namespace {
std::function<void(const QString&)> g_recorder;
std::function<void(const QString&)> g_informRecorder;
std::function<void(QDialog*)> g_modalRunner;

// Runs the dialog's own loop; then the keys go back to the window that had
// them, also where no window manager hands the focus back.
void execAndReturn(QDialog* dialog) {
    const QPointer<QWidget> before = QApplication::activeWindow();
    dialog->exec();
    if (before && before->isVisible()) before->activateWindow();
}
} // namespace

namespace ErrorBox {

QString displayText(const QString& message) {
    if (!message.isEmpty() && message.back() > QChar(u'.')) return message + u'.';
    return message;
}

std::unique_ptr<QMessageBox> build(const QString& message, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Critical, AppTitle, displayText(message),
                                             QMessageBox::Ok, parent);
    return box;
}

void show(const QString& message) {
    if (g_recorder) {
        g_recorder(displayText(message));
        return;
    }
    execAndReturn(build(message).get());
}

void showException(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const Cancelled&) {
    } catch (const std::exception& e) {
        show(QString::fromUtf8(e.what()));
    } catch (...) {
        show(QStringLiteral("I/O ｴﾗｰ (0)"));
    }
}

void setRecorder(std::function<void(const QString&)> recorder) {
    g_recorder = std::move(recorder);
}

std::unique_ptr<QMessageBox> buildNote(const QString& message, QWidget* parent) {
    return std::make_unique<QMessageBox>(QMessageBox::Information, AppTitle, message,
                                         QMessageBox::Ok, parent);
}

void inform(const QString& message) {
    if (g_informRecorder) {
        g_informRecorder(message);
        return;
    }
    execAndReturn(buildNote(message).get());
}

QString writtenText(const QString& what, const QString& path) {
    // The full path, so that the user can find the file again; no period
    // after it, which would read as part of the name.
    const QString full = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    return what + QStringLiteral(": ") + full;
}

void setInformRecorder(std::function<void(const QString&)> recorder) {
    g_informRecorder = std::move(recorder);
}

} // namespace ErrorBox

bool runGuarded(const std::function<void()>& fn) {
    try {
        fn();
        return true;
    } catch (const Cancelled&) {
        return false;
    } catch (...) {
        ErrorBox::showException(std::current_exception());
        return false;
    }
}

namespace Modal {

void exec(QDialog* dialog) {
    if (g_modalRunner) {
        g_modalRunner(dialog);
        return;
    }
    execAndReturn(dialog);
}

void setRunner(std::function<void(QDialog*)> runner) {
    g_modalRunner = std::move(runner);
}

QMessageBox::StandardButton ask(const QString& text, const QString& objectName,
                                QMessageBox::StandardButtons buttons,
                                QMessageBox::StandardButton defaultButton, QMessageBox::Icon icon,
                                QWidget* parent) {
    QMessageBox box(icon, ErrorBox::AppTitle, text, buttons, parent);
    box.setObjectName(objectName);
    if (defaultButton != QMessageBox::NoButton) box.setDefaultButton(defaultButton);
    Modal::exec(&box);
    const int answer = box.result();
    return buttons.testFlag(static_cast<QMessageBox::StandardButton>(answer)) && answer != 0
               ? static_cast<QMessageBox::StandardButton>(answer)
               : QMessageBox::NoButton;
}

} // namespace Modal
