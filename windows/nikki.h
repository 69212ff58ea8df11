#pragma once
// The diary window: one free-text entry per day, the day of the main
// window's calendar, kept in its own file in DiaryDir.

#include "shell/save_check.h"

#include <QDialog>
#include <functional>
#include <string>

class QAction;
class QFrame;
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

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    std::string diaryDir() const;
    std::string entryPath() const;
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
};
