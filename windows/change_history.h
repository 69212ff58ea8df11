#pragma once
// The change history ("変更履歴"): every recorded change, newest first, with
// its month, day, item, old and new value and where it came from, and, for a
// book kept on several PCs, the PC that made it. Choosing a row undoes every
// later step, so the book is as it was just after it.

#include <QDialog>
#include <cstdint>

class QAction;
class QPushButton;
class QTreeWidget;
class BookDocument;
class ChangeJournal;
class CommandHost;

class ChangeHistory : public QDialog {
    Q_OBJECT

public:
    explicit ChangeHistory(CommandHost* host);

    // Fills the list from the journal.
    void fillList();
    // Undoes back to just after the selected row's step.
    void backToSelected();
    // "この PC" for this PC's own steps, else the other PC's name.
    static QString pcLabel(const ChangeJournal& journal, uint64_t group);

protected:
    void showEvent(QShowEvent* e) override;

private:
    QTreeWidget* changeList_ = nullptr;
    QPushButton* backToButton_ = nullptr;
    QAction* exitAction_ = nullptr;
    CommandHost* host_;
    BookDocument* doc_;
};
