#pragma once
// The amount entry dialog: income and expense of one item on the daily
// sheet's day. Confirming writes both amounts into the sheet's row as the
// sheet shows them, stores the sheet into the month and refills it, so the
// totals and the balance follow at once.

#include <QDialog>

class QLabel;
class QPushButton;
class TForm1;
class TForm2;
class TNewNumEdit;

class TForm5 : public QDialog {
    Q_OBJECT

public:
    TForm5(TForm1* form1, TForm2* form2);

    QLabel* Label1 = nullptr; // the item name, set by the sheet
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    TNewNumEdit* Edit1 = nullptr; // income
    TNewNumEdit* Edit2 = nullptr; // expense
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

    void FormActivate();
    void Button2Click();
    void Button1Click();

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void buildUi();

    TForm1* form1_;
    TForm2* form2_;
};
