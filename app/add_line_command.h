#pragma once
// zadud --add-line YYYY-MM-DD ITEM AMOUNT MEMO: one entry line (内訳) added
// through the book's door, its cell raised with it, as one undo step. The
// amount is signed as --import and --find print it: negative for an
// expense, positive for income.

#include <QStringList>

// `date` the option's value, `args` the item, the amount and the memo.
// Exit 0; 2 with a message for a bad date, item, amount or memo, nothing
// written; 1 when a file cannot be read or written.
int runAddLine(const QString& date, const QStringList& args);
