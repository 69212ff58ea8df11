#pragma once
// "予算設定": the calendar month's budget per named item, its fixed/variable
// mark and carry switch. Opening it shows the plan in effect for the month;
// saving writes only the items whose plan differs from what the month would
// take from the months before, so untouched items keep following them.

#include <QDialog>
#include <QStringList>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenuBar;
class QPushButton;
class BookDocument;
class CommandHost;
class TNewNumEdit;

class BudgetWindow : public QDialog {
    Q_OBJECT

public:
    explicit BudgetWindow(CommandHost* host);

    static constexpr int Rows = 12;
    // The kind box's entries.
    enum Kind { None = 0, Variable = 1, Fixed = 2 };

    // Fills the rows from the plan for the calendar's month.
    void showPlan();
    // "前月と同じ": the rows as the month before planned them.
    void takeLastMonth();
    void saveAndClose();
    void closeWithoutSaving();
    // A row differs from what the window showed when it opened.
    bool unsaved() const;
    void reject() override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    QMenuBar* menuBar_ = nullptr;
    QAction* saveAction_ = nullptr;    // 保存して終了
    QAction* discardAction_ = nullptr; // 保存せず終了
    QLabel* title_ = nullptr;
    QPushButton* sameAsLastButton_ = nullptr; // 前月と同じ
    QPushButton* saveButton_ = nullptr;       // 保存: as 保存して終了
    QPushButton* cancelButton_ = nullptr;     // キャンセル: as 保存せず終了
    QLabel* names_[Rows] = {};
    TNewNumEdit* amounts_[Rows] = {};
    QComboBox* kinds_[Rows] = {};
    QCheckBox* carries_[Rows] = {};
    void showMonth(int year, int month);
    QStringList rowValues() const;
    QStringList shownRows_;
    CommandHost* host_;
    BookDocument* doc_;
};
