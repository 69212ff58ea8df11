#pragma once
// The diary search window: a box that searches every diary entry as one
// types, the days found with their matching lines, and a preview of the
// selected entry. With an empty box it lists the calendar month's entries.
// Opening a day moves the main window's calendar there and opens the diary.

#include "ledger/diary_index.h"

#include <QDialog>
#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTreeWidget;
class QTreeWidgetItem;
class BackgroundSearch;
class BookDocument;
class CommandHost;

// The form entries and queries are compared in: Unicode NFKC, then case
// folding, so that ｶﾀｶﾅ finds カタカナ and ＡＢＣ finds abc.
std::string foldForSearch(std::string_view utf8);

class DiarySearchWindow : public QDialog {
    Q_OBJECT

public:
    explicit DiarySearchWindow(CommandHost* host);
    ~DiarySearchWindow() override;

    // Lists again for the box as it stands, at once.
    void searchNow();
    // Moves the calendar to the selected day and opens the diary on it.
    void openSelectedDay();

    // Test seam: while set, the window's searches run this in place of
    // searchDiary (same arguments but the folding).
    using SearchFunction = std::function<std::vector<DiaryHit>(
        const std::string& dir, const std::string& query, const std::atomic<bool>* cancel)>;
    static void setSearchFunction(SearchFunction search);

signals:
    // A search's or the month's list has been put into the list.
    void resultsShown();

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    struct Outcome;
    void startSearch();
    void showOutcome(const Outcome& outcome);
    void showPreview();

    QAction* openAction_ = nullptr; // 日記を開く
    QAction* exitAction_ = nullptr; // 終了
    QLineEdit* queryEdit_ = nullptr;
    QTreeWidget* resultList_ = nullptr;
    QPlainTextEdit* preview_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    CommandHost* host_;
    BookDocument* doc_;
    // Reads through the document's store, and waits for a stopped search
    // (it stops at once) when the window goes, before the store can.
    BackgroundSearch* search_ = nullptr;
    std::vector<DiaryHit> hits_;
    // The day to select when the list is refilled, after a day was opened.
    DiaryDate preferred_;
    bool openWhenShown_ = false;
    QString lastError_;
};
