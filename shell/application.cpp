#include "shell/application.h"

#include "shell/error_box.h"

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(ErrorBox::AppTitle);
    setApplicationVersion(QStringLiteral("1.3"));
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ErrorBox::showException(std::current_exception());
        return false;
    }
}
