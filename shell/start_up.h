#pragma once
// Start-up in two steps. The main window is made and shown first; what its
// first frame does not draw (every other window) is made right after that
// frame is on the screen, or at once when the user reaches for the program
// before it is, or after a second when the window is never exposed
// (started minimised, say).

#include <QObject>
#include <functional>

class QWidget;

class StartUp : public QObject {
public:
    StartUp(QWidget* mainWindow, std::function<void()> rest);
    ~StartUp() override;

    bool done() const { return !rest_; }
    // Makes the rest now unless it is made already.
    void finish();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    std::function<void()> rest_;
};
