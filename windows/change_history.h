#pragma once
// The change history ("変更履歴"): every recorded change, newest first, with
// its month, day, item, old and new value and where it came from. Choosing a
// row undoes every later step, so the book is as it was just after it.

#include <QDialog>
#include <cstdint>

class QAction;
class QPushButton;
class QTreeWidget;
class TForm1;

class ChangeHistory : public QDialog {
    Q_OBJECT

public:
    explicit ChangeHistory(TForm1* form1);

    QTreeWidget* List = nullptr;
    QPushButton* BackTo = nullptr;
    QAction* Exit1 = nullptr;

    // Fills the list from the journal.
    void FormActivate();
    // Undoes back to just after the selected row's step.
    void BackToClick();
    void Exit1Click();

protected:
    void showEvent(QShowEvent* e) override;

private:
    TForm1* form1_;
};
