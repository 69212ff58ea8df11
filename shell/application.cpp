#include "shell/application.h"

#include "shell/error_box.h"
#include "shell/text_size.h"
#include "shell/theme.h"

#include <QLibraryInfo>
#include <QPainter>
#include <QPixmap>
#include <QProxyStyle>
#include <QTranslator>

namespace {

// The style the program starts with, with one picture drawn instead of
// read: the menu bar asks for its overflow button's picture when it is
// made, and reading a picture file first sends Qt through every image
// format plugin it has, a twentieth of the time to the first frame.
class StartStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    QIcon standardIcon(StandardPixmap which, const QStyleOption* option,
                       const QWidget* widget) const override {
        if (which != SP_ToolBarHorizontalExtensionButton)
            return QProxyStyle::standardIcon(which, option, widget);
        // Two chevrons pointing on, in the text colour.
        QPixmap pm(16, 16);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(
            QPen(widget ? widget->palette().color(QPalette::ButtonText) : QColor(Qt::black), 1.5));
        for (qreal x : {4.0, 9.0})
            p.drawPolyline(QPolygonF{{x, 4}, {x + 4, 8}, {x, 12}});
        return QIcon(pm);
    }
};

} // namespace

QStyle* newStartStyle(const QString& baseKey) {
    return new StartStyle(baseKey);
}

bool installQtTranslation(QTranslator& translator) {
    if (!translator.load(QStringLiteral("qtbase_ja"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&translator);
}

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv), qtTranslation_(new QTranslator(this)) {
    installQtTranslation(*qtTranslation_);
    setApplicationName(ErrorBox::AppTitle);
    setApplicationVersion(QStringLiteral("1.3"));
    setStyle(newStartStyle(style()->name()));
    // The desktop's colours, with its too faint pairs mended.
    setPalette(Theme::accessible(palette()));
    TextSize::apply(*this, TextSize::stored());
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ErrorBox::showException(std::current_exception());
        return false;
    }
}
