#pragma once
// The day's entry lines (内訳) under the daily sheet: the lines of every item
// on the sheet's day, and one row to add a line with the keyboard alone:
// item, amount, memo, Enter. Enter on a listed line takes it into the row to
// change it (Escape leaves it as it was); Delete deletes it. An amount is an
// expense; "+1,280" is income. Every change goes through the book as one
// undo step, with its cell.

#include "ledger/book.h"

#include <QWidget>
#include <functional>
#include <vector>

class BookDocument;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableWidget;
class StringGrid;

class SheetLines : public QWidget {
    Q_OBJECT

public:
    SheetLines(BookDocument& document, QWidget* parent);

    // Fills the list for the document's day and marks the sheet's cells that
    // have lines (column 1 income, 2 expense; row = item).
    // `cellsShown` false: the sheet shows none of the month's amounts (a
    // held month), so nothing is said or marked about its cells.
    void refresh(StringGrid* sheet, bool cellsShown = true);
    // The entry row: adds a line, or changes the one taken in.
    void enterLine();
    // The selected line: into the entry row, or deleted.
    void takeSelected();
    void deleteSelected();
    void cancelChange();
    // The month index of the line being changed, -1 while adding.
    int changing() const { return changing_; }

    // After a line changed: the sheet shows its cells anew.
    std::function<void()> changed;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    EntryLine typedLine() const;
    void clearEntry();

    QTableWidget* lineList_ = nullptr; // 項目, 金額, ﾒﾓ
    QComboBox* itemBox_ = nullptr;
    QLineEdit* amountEdit_ = nullptr;
    QLineEdit* memoEdit_ = nullptr;
    QLabel* noteLabel_ = nullptr; // 内訳なし, and lines that no longer fit their cell
    BookDocument& doc_;
    std::vector<std::size_t> rows_; // the month's line index of each listed row
    int changing_ = -1;
};

// "1,280" an expense, "+1,280" income; full-width forms as half-width.
// False for anything else, zero, or beyond 32 bits.
bool readLineAmount(const QString& typed, LineSide& side, int32_t& amount);
