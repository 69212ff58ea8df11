#include "windows/form_frame.h"

#include "shell/window_keys.h"

#include <QAction>
#include <QDialog>
#include <QFrame>
#include <QMenuBar>
#include <QVBoxLayout>

FormFrame buildFormFrame(QDialog* form) {
    auto* layout = new QVBoxLayout(form);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* menuBar = new QMenuBar(form);
    QMenu* fileMenu = menuBar->addMenu(QStringLiteral("ﾌｧｲﾙ"));
    layout->setMenuBar(menuBar);
    WindowKeys::menuOnF10(form, menuBar);

    auto* panel = new QFrame(form);
    panel->setObjectName(QStringLiteral("Panel1"));
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(panel);
    return {menuBar, fileMenu, panel, panelLayout};
}

QAction* addCommand(QMenu* menu, const QString& caption, Qt::Key key) {
    QAction* action = menu->addAction(caption);
    action->setShortcut(QKeySequence(Qt::CTRL | key));
    return action;
}
