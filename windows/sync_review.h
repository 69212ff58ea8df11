#pragma once
// "同期の確認": the values two PCs changed differently, each with both
// sides (value, PC and time); per row the user keeps one side or the sum of
// both changes. Each choice is one undo step through the document.

#include "ledger/sync_merge.h"

#include <QDialog>
#include <vector>

class BookDocument;
class QLabel;
class QPushButton;
class QTreeWidget;

class SyncReview : public QDialog {
    Q_OBJECT

public:
    SyncReview(BookDocument& doc, QWidget* parent = nullptr);

    // Reads the open conflicts again and lists them, the first selected.
    void fill();
    // Fills and shows the window modally.
    void showConflicts();
    // Settles the selected row; the list is read again afterwards.
    void settleSelected(SyncChoice choice);
    const std::vector<SyncConflict>& conflicts() const { return conflicts_; }

private:
    void showButtons();

    BookDocument& doc_;
    std::vector<SyncConflict> conflicts_;
    QLabel* caption_ = nullptr;
    QTreeWidget* list_ = nullptr; // unit, started from, first side, second side
    QPushButton *keepFirst_ = nullptr, *keepSecond_ = nullptr, *sum_ = nullptr;
};
