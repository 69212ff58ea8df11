#pragma once
// zadud --set-amount YYYY-MM-DD ITEM income|expense AMOUNT: one cell's amount
// as typed in the daily sheet, through the book's door, as one undo step.

#include <QStringList>

// `date` the option's value, `args` the item, the side and the amount.
// Exit 0; 2 with a message for a bad date, item, side or amount, or an
// amount below the cell's lines, nothing written; 1 when a file cannot be
// read or written.
int runSetAmount(const QString& date, const QStringList& args);
