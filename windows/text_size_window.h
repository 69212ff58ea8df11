#pragma once
// 文字の大きさ: the size every text of the program is drawn at, as a
// percentage of the program's own sizes; kept for the next start.

#include <QDialog>
#include <vector>

class QRadioButton;

class TextSizeWindow : public QDialog {
    Q_OBJECT

public:
    explicit TextSizeWindow(QWidget* parent = nullptr);

    // Shows the stored choice ticked.
    void showStored();
    // Stores the ticked choice.
    void storeChoice();

private:
    std::vector<QRadioButton*> choices_;
};
