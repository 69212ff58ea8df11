#pragma once
// The diary search window: a box that searches every diary entry as one
// types, the days found with their matching lines, and a preview of the
// selected entry. With an empty box it lists the calendar month's entries.
// Opening a day moves the main window's calendar there and opens the diary.

#include "ledger/diary_index.h"
#include "windows/search_window.h"

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QPlainTextEdit;

// The form entries and queries are compared in: Unicode NFKC, then case
// folding, so that ｶﾀｶﾅ finds カタカナ and ＡＢＣ finds abc.
std::string foldForSearch(std::string_view utf8);

class DiarySearchWindow : public SearchWindow {
    Q_OBJECT

public:
    explicit DiarySearchWindow(CommandHost* host);

    void searchNow() override;

    // Test seam: while set, the window's searches run this in place of
    // searchDiary (same arguments but the folding).
    using SearchFunction = std::function<std::vector<DiaryHit>(
        const std::string& dir, const std::string& query, const std::atomic<bool>* cancel)>;
    static void setSearchFunction(SearchFunction search);

protected:
    void showEvent(QShowEvent* e) override;
    void startSearch() override;
    // Moves the calendar to the selected day and opens the diary on it.
    void openRow() override;

private:
    struct Outcome;
    void showOutcome(const Outcome& outcome);
    void showPreview();

    QPlainTextEdit* preview_ = nullptr;
    std::vector<DiaryHit> hits_;
    // The day to select when the list is refilled, after a day was opened.
    DiaryDate preferred_;
    QString lastError_;
};
