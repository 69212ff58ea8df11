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

    QMenuBar* MainMenu1 = nullptr;
    QAction* Save1 = nullptr;    // 保存して終了
    QAction* Discard1 = nullptr; // 保存せず終了
    QLabel* Title = nullptr;
    QPushButton* SameAsLast = nullptr;   // 前月と同じ
    QPushButton* OkButton = nullptr;     // 保存: as 保存して終了
    QPushButton* CancelButton = nullptr; // キャンセル: as 保存せず終了
    QLabel* Names[Rows] = {};
    TNewNumEdit* Amounts[Rows] = {};
    QComboBox* Kinds[Rows] = {};
    QCheckBox* Carries[Rows] = {};

    // Fills the rows from the plan for the calendar's month.
    void FormActivate();
    void SameAsLastClick();
    void Save1Click();
    void Discard1Click();
    // A row differs from what the window showed when it opened.
    bool unsaved() const;
    void reject() override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void showMonth(int year, int month);
    QStringList rowValues() const;
    QStringList shownRows_;
    CommandHost* host_;
    BookDocument* doc_;
};
