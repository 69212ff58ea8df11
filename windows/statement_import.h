#pragma once
// The statement import preview: the rows of a card or bank statement with
// their dates, descriptions, amounts, proposed items and check boxes; rows
// imported before and rows with a problem are marked and unticked. The
// column choice can be corrected and saved as a named profile; an item
// chosen here becomes the rule for that description, and so does 振替 set
// or cleared on a row (a card's payoff from the bank account).

#include "ledger/statement.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class BookDocument;
class CommandHost;

class StatementImportWindow : public QDialog {
    Q_OBJECT

public:
    explicit StatementImportWindow(CommandHost* host);

    enum Column { Tick, Date, Description, Amount, Item, State, Transfer };

    // Asks for a file and shows its preview; an empty answer cancels.
    void chooseFile();
    // Reads the statement and the side files of the ledger folder and fills
    // the grid. Throws AppError for a file that is no statement.
    void openFile(const QString& path);
    // The columns from the boxes: rows read again, choices kept per line.
    void columnsChanged();
    // Keeps the columns under the profile name, for the next statement.
    void saveProfile();
    // Posts the ticked rows, saves the log and the rules, and closes.
    void importTicked();

    const std::vector<StatementRow>& rows() const { return rows_; }

    // Posts the ticked rows and writes the import log and the rules; it
    // throws when nothing was posted. Set by the composition root.
    using Poster = std::function<void(std::vector<StatementRow>& rows, ImportSideFiles& files)>;
    void setPoster(Poster post) { post_ = std::move(post); }
    // Test seam: answers the file dialog.
    void setFileAsker(std::function<QString()> ask) { askFile_ = std::move(ask); }

private:
    ColumnChoice choiceFromBoxes() const;
    void showChoice(const ColumnChoice& c);
    void fillGrid();
    void rowEdited(int row);
    // 振替 of the row, and of the rows of its description not set apart.
    void transferEdited(int row, bool transfer);

    QComboBox* dateColumn_ = nullptr;
    QComboBox* descriptionColumn_ = nullptr;
    QComboBox* amountColumn_ = nullptr;
    QComboBox* incomeColumn_ = nullptr;
    QComboBox* expenseColumn_ = nullptr;
    QComboBox* signBox_ = nullptr;        // positive amounts: 支出 / 収入
    QComboBox* defaultItemBox_ = nullptr; // the item of rows no rule places
    QLineEdit* profileNameEdit_ = nullptr;
    QPushButton* saveProfileButton_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QPushButton* importButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    CommandHost* host_;
    BookDocument* doc_;
    Statement statement_;
    ImportSideFiles files_;
    MonthLedger names_;
    std::vector<StatementRow> rows_;
    std::vector<bool> chosen_;         // the user picked the row's item
    std::vector<bool> transferChosen_; // the user set or cleared the row's 振替
    Poster post_;
    std::function<QString()> askFile_;
    bool filling_ = false;
    int shownHeader_ = -1; // the header line of the columns shown
};
