#pragma once
// "--set-budget 1996-12 ITEM AMOUNT" sets one item's budget from that month
// on; "--budget 1996-12" prints each named item's budget, spent and
// remaining, tab-separated. Both read the working directory's ZADUD.CFG and
// the ledger folder's files as the windows do.

#include <QStringList>
#include <string>

// Exit codes: 0 done; 2 for a bad month, an item that is not configured or
// an amount outside 0 to 2,147,483,647 (nothing written); 1 when a file
// could not be read or written.
int runSetBudget(const std::string& month, const QStringList& args);
int runBudgetReport(const std::string& month);
