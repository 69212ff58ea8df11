#pragma once
// "バックアップから復元...": the kept versions of the shown month's file (or
// of a diary day), with their time and what each differs from today;
// restoring one puts its amounts back into the month. Also the account
// book's zip archive: "データの書き出し..." and "データの読み込み...".

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "storage/backup_files.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class BookDocument;
class CommandHost;

class BackupWindow : public QDialog {
    Q_OBJECT

public:
    BackupWindow(CommandHost* host, BackupStore* store);

    // The main window's entry: lists the shown month's versions modally.
    void showMonth();
    // The diary window's entry: the day's version chosen, as stored bytes;
    // false when the window was closed without one.
    bool chooseDiaryVersion(int year, int month, int day, std::string& bytes);
    // Fill the list without showing it.
    void fillMonth();
    void fillDiary(int year, int month, int day);
    // "復元": the selected version into the month, as one change.
    void restoreSelected();

    void exportBook();
    void importBook();
    // Test seams: the archive's path (empty: cancelled) and the question
    // before files are replaced.
    void setPathAsker(std::function<QString(bool save)> ask);

private:
    BookFolders folders() const;
    std::string shownPath() const;

    QLabel* caption_ = nullptr;
    QTreeWidget* versionList_ = nullptr; // time, what differs
    QPushButton* restoreButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;

    CommandHost* host_;
    BookDocument* doc_;
    BackupStore* store_;
    std::vector<BackupVersion> versions_;
    bool diary_ = false;
    bool chosen_ = false;
    std::string chosenBytes_;
    std::function<QString(bool)> askPath_;
};
