#pragma once
// "明細検索": the entry lines (内訳) of every month that meet a query, as
// --find reads it (words, amounts and ranges, #tags, 項目:, dates), newest
// first, with the total of what was found and the total per tag. Enter on
// a line opens that day's sheet.

#include "ledger/entry_lines.h"

#include <QDialog>

class BackgroundSearch;
class CommandHost;
class BookDocument;
class QAction;
class QLabel;
class QLineEdit;
class QTreeWidget;

class LineSearchWindow : public QDialog {
    Q_OBJECT

public:
    explicit LineSearchWindow(CommandHost* host);
    ~LineSearchWindow() override;

    // Searches for the box as it stands, at once.
    void searchNow();
    // Moves the calendar to the selected line's day and opens its sheet.
    void openSelectedDay();
    const LineSearchResult& result() const { return result_; }

signals:
    void resultsShown();

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    struct Outcome {
        LineSearchResult result;
        QString error;
        bool empty = false;
    };
    void startSearch();
    void showOutcome(const Outcome& outcome);

    QAction* openAction_ = nullptr; // 日計を開く
    QAction* exitAction_ = nullptr; // 終了
    QLineEdit* queryEdit_ = nullptr;
    QTreeWidget* resultList_ = nullptr;
    QLabel* totalsLabel_ = nullptr; // what was found, and per tag
    QLabel* statusLabel_ = nullptr;
    CommandHost* host_;
    BookDocument* doc_;
    // Reads through the document's store, and waits for a stopped search
    // (it stops at once) when the window goes, before the store can.
    BackgroundSearch* search_ = nullptr;
    LineSearchResult result_;
    bool openWhenShown_ = false;
};

// The totals line of a search: "12 件  収入 0  支出 34,560", then one line
// per tag.
QString lineTotalsText(const LineSearchResult& result);
