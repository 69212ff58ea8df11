#pragma once
// The version dialog: the program's title and its credits.

#include <QDialog>

class QLabel;
class QPushButton;

class TForm6 : public QDialog {
    Q_OBJECT

public:
    explicit TForm6(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QPushButton* Button1 = nullptr;

    void Button1Click();
};
