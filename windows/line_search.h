#pragma once
// "明細検索": the entry lines (内訳) of every month that meet a query, as
// --find reads it (words, amounts and ranges, #tags, 項目:, dates), newest
// first, with the total of what was found and the total per tag. Enter on
// a line opens that day's sheet.

#include "ledger/entry_lines.h"

#include "windows/search_window.h"

class QLabel;

class LineSearchWindow : public SearchWindow {
    Q_OBJECT

public:
    explicit LineSearchWindow(CommandHost* host);

    const LineSearchResult& result() const { return result_; }

protected:
    void startSearch() override;
    // Moves the calendar to the selected line's day and opens its sheet.
    void openRow() override;

private:
    struct Outcome {
        LineSearchResult result;
        QString error;
        bool empty = false;
    };
    void showOutcome(const Outcome& outcome);

    QLabel* totalsLabel_ = nullptr; // what was found, and per tag
    LineSearchResult result_;
};

// The totals line of a search: "12 件  収入 0  支出 34,560", then one line
// per tag.
QString lineTotalsText(const LineSearchResult& result);
