#pragma once
// "定期入力": the scheduled entries with their next dates (add, edit, pause,
// delete), and the catch-up "定期入力の確認" that posts the due occurrences
// at start-up and on entering a month. The rules and the side file are in
// ledger/schedule.h; this unit only reads widgets and writes them.

#include "ledger/schedule.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <vector>

class QPushButton;
class QTableWidget;
class BookDocument;
class CommandHost;

class ScheduleCatchUp : public QDialog {
    Q_OBJECT

public:
    explicit ScheduleCatchUp(QWidget* parent = nullptr);

    enum Action { Post = 0, Skip = 1, Later = 2 };
    struct Row {
        Occurrence occurrence;
        ScheduleEntry entry;
        bool automatic = false; // posted without a question; otherwise it waits
    };
    void setRows(const std::vector<Row>& rows);
    // The rows that wait, with the action and amount chosen in the table.
    std::vector<PostingChoice> choices() const;
    void setAction(int row, Action action);

    // "すべて入力": every waiting row set to be posted.
    void postAll();

private:
    QTableWidget* table_ = nullptr;
    QPushButton* postAllButton_ = nullptr; // すべて入力
    QPushButton* applyButton_ = nullptr;   // 実行
    QPushButton* laterButton_ = nullptr;   // 後で
    std::vector<Row> rows_;
};

class ScheduleWindow : public QDialog {
    Q_OBJECT

public:
    ScheduleWindow(CommandHost* host, std::function<Date()> today);

    // Reads the side file again and lists the entries; false when it is
    // malformed (the error is shown once and nothing is written to it).
    bool refresh();
    void addEntry();
    void editSelected();
    // "休止/再開": pauses the selected entry, or resumes a paused one.
    void pauseOrResumeSelected();
    void deleteSelected();

    // The catch-up: due occurrences up to today; the automatic ones are
    // posted, then all are listed in "定期入力の確認" when any waits or failed.
    void catchUp();
    // The entries of a day, greyed in the calendar after today, named on the
    // daily sheet: "給料 +300,000" per line.
    QString dayNote(const Date& d, bool futureOnly);
    // Test seam: the entry editor's answer instead of its modal dialog.
    void setEditorAnswer(std::function<bool(ScheduleEntry&)> answer) {
        editor_ = std::move(answer);
    }

protected:
    void showEvent(QShowEvent* e) override;

private:
    std::string path() const;
    void save();
    bool editEntry(ScheduleEntry& e);
    int selectedId() const;

    QTableWidget* table_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* editButton_ = nullptr;
    QPushButton* pauseButton_ = nullptr;
    QPushButton* deleteButton_ = nullptr;

    CommandHost* host_;
    BookDocument* doc_;
    std::function<Date()> today_;
    std::function<bool(ScheduleEntry&)> editor_;
};
