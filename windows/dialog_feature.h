#pragma once
// A feature whose window is one dialog: made when the windows are made,
// shown modally from the feature's entries, which stay disabled until then.

#include "shell/error_box.h"
#include "shell/feature.h"

#include <QAction>
#include <QList>
#include <memory>

template <class Window> class DialogFeature : public Feature {
public:
    Window* window() const { return window_.get(); }

protected:
    // An entry that shows the window.
    QAction* showsWindow(QAction* action) {
        enables(action);
        QObject::connect(action, &QAction::triggered, action, [this] {
            if (window_) Modal::exec(window_.get());
        });
        return action;
    }
    // An entry enabled with the window.
    QAction* enables(QAction* action) {
        entries_ << action;
        return action;
    }
    void setWindow(std::unique_ptr<Window> window) {
        window_ = std::move(window);
        for (QAction* a : entries_)
            a->setEnabled(window_ != nullptr);
    }

private:
    std::unique_ptr<Window> window_;
    QList<QAction*> entries_;
};

// Runs `fn` when `action` is triggered; an error goes to the error box.
template <class Fn> void onTriggered(QAction* action, Fn fn) {
    QObject::connect(action, &QAction::triggered, action, [fn] { runGuarded(fn); });
}
