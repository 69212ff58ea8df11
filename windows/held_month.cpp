#include "windows/held_month.h"

#include "ledger/book.h"

HeldView heldView(const Book& book) {
    HeldView v;
    const Book::Hold hold = book.hold();
    if (hold == Book::Hold::None) return v;
    v.held = true;
    // Figures read only up to a fault (or whose totals overflow) are not the
    // month's; a month whose previous file failed has its own figures but no
    // carry-over to start its balance from.
    v.figures = hold != Book::Hold::MonthFile && hold != Book::Hold::Totals;
    v.balance = v.figures && hold != Book::Hold::PreviousMonthFile;
    v.notice = QString::fromStdString(book.heldMessage()) +
               (hold == Book::Hold::Configuration
                    ? QStringLiteral("。")
                    : QStringLiteral("。この月の読めなかった金額は表示していません。"));
    return v;
}
