#pragma once
// kakeibo --sync and --undo: the book shared by several PCs, from a script.

#include <QString>

// Merges every PC's records: mends the files, sets conflict copies aside,
// and prints one line per mended value ("同期: 2026/12/24 食費 支出 0 -> 500"),
// per conflict left to settle, numbered for --settle ("同期の確認 1:
// 2026/12/24 食費 支出: pc-a 500 / pc-b 300"), per copy set aside and per
// note, then a count line. 0, 3 when conflicts are left to settle, 1 on a
// failure.
int runSyncCommand();

// Settles the conflict --sync numbered `number` with "first", "second" or
// "sum", as the window's 同期の確認 does, and prints it with how many are
// left. 0; 2 for a number no conflict has, another choice, or a choice the
// unit cannot take (a sum of texts, a value below the cell's lines); 1 on a
// failure.
int runSettleCommand(const QString& number, const QString& choice);

// Undoes the newest step of any PC ("元に戻しました: 12/24 食費 支出 500").
// 0; 1 when there is nothing to undo or a value changed since the step.
int runUndoCommand();
