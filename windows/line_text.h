#pragma once
// Entry lines as the windows word them.

#include "ledger/entry_lines.h"

#include <QString>

// A cell's lines for a tooltip, one a line ("ｽｰﾊﾟｰ #日用品  1,280"), the
// income side's with "+", then what is not in lines (内訳なし); empty when
// the item's cell of `day` has no lines.
QString linesTip(const std::vector<EntryLine>& lines, const MonthLedger& month, int item, int day);
