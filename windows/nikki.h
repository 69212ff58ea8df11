#pragma once
// The diary window: one free-text entry per day, the day of the main
// window's calendar, kept in its own file in DiaryDir.

#include "shell/save_check.h"

#include <QDialog>
#include <QTimer>
#include <functional>
#include <string>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class TForm1;

class TForm3 : public QDialog {
    Q_OBJECT

public:
    explicit TForm3(TForm1* form1);

    QMenuBar* MainMenu1 = nullptr;
    QMenu* File1 = nullptr;
    QAction* Exit1 = nullptr;    // 保存して終了
    QAction* Exit2 = nullptr;    // 保存せず終了
    QAction* Restore1 = nullptr; // バックアップから復元...
    QFrame* Panel1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    // Says, above the memo, that text kept from an earlier session is shown.
    QLabel* DraftNote = nullptr;
    // Restarted by every change of the memo: a pause in typing keeps the
    // text as a draft (keepDraft), never a write per key.
    QTimer DraftTimer;
    static constexpr int DraftPauseMs = 1000;

    // Picks a kept version of a day's entry (its stored bytes); false when
    // none was chosen. "バックアップから復元..." stays disabled without it;
    // the chosen version replaces the entry at once, as one undo step.
    void setVersionChooser(std::function<bool(int y, int m, int d, std::string& bytes)> choose);

    void FormActivate();
    void Restore1Click();
    void Exit1Click();
    void Exit2Click();
    // The memo differs from the entry as read.
    bool unsaved() const;
    void reject() override;
    // Writes the unsaved text of the open window to this PC's draft file at
    // once (the timer's slot). A draft that cannot be written changes
    // nothing: the text is still in the window, and saving it reports its
    // own errors.
    void keepDraft();
    // The session ends (logout, shutdown, a signal): no question can be
    // answered now. The text goes to the draft at once, and once it is
    // there the window closes without asking, keeping the draft for the
    // next opening. Only a draft that could not be written still asks.
    void sessionEnds();

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    std::string diaryDir() const;
    std::string entryPath() const;
    // Reads the day's entry into the memo; with `offerDraft`, text kept for
    // the day and not saved is shown in its place, as unsaved.
    void load(bool offerDraft);
    void offerDraft();
    std::string draftPath() const;
    // Removes the day's draft (saved, or dropped on the user's word).
    void dropDraft();
    // keepDraft's work: false when the draft could not be written.
    bool writeDraft();
    // Characters that the file stores as a neighbour (〜 as ～) are shown as
    // that neighbour as soon as they are typed or pasted, so the memo shows
    // what the file will hold.
    void showStoredForms(int position, int added);
    bool replacing_ = false;

    TForm1* form1_;
    std::function<bool(int, int, int, std::string&)> chooseVersion_;
    // The entry as read and the memo text it gave: saving that text unchanged
    // writes the bytes back as they were.
    bool loaded_ = false;
    std::string loadedBytes_;
    std::string loadedText_;
    // The day's file as this window read it.
    ReadStamp entryRead_;
    // The day the memo shows, and whether this window wrote or showed a
    // draft of it (closing then removes it).
    int year_ = 0, month_ = 0, day_ = 0;
    bool draftKept_ = false;
    // The session's end put the text in the draft: closing keeps it there.
    bool endingKept_ = false;
};
