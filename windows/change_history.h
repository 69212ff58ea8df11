#pragma once
// The change history ("変更履歴"): every recorded change, newest first, with
// its month, day, item, old and new value and where it came from. Choosing a
// row undoes every later step, so the book is as it was just after it.

#include <QDialog>
#include <cstdint>

class QAction;
class QPushButton;
class QTreeWidget;
class BookDocument;
class CommandHost;

class ChangeHistory : public QDialog {
    Q_OBJECT

public:
    explicit ChangeHistory(CommandHost* host);

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
    CommandHost* host_;
    BookDocument* doc_;
};
