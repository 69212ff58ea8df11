#pragma once
// The settings dialog: where the month files and the diary files live, and
// the names of the twelve items. Confirming writes ZADUD.CFG and updates the
// main window at once; cancelling changes nothing. Its two directory lists
// also serve the start-up check of the configured locations.

#include <QDialog>
#include <QStringList>

#include <functional>

class DirList;
class DriveList;
class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QWidget;
class TForm1;

class TForm4 : public QDialog {
    Q_OBJECT

public:
    explicit TForm4(TForm1* form1, QWidget* parent = nullptr);

    // The location check of the configuration reader: positions the page's
    // directory list on `path`; false when it cannot be entered.
    bool checkLedgerLocation(const QString& path);
    bool checkDiaryLocation(const QString& path);

    // The edit box named "edit<n>", letter case ignored; null when none.
    QLineEdit* findEdit(int n) const;

    // Writes ZADUD.CFG from the edit boxes, then copies them into the main
    // window. Nothing is copied when the write fails.
    void CfgWrite();
    // Controls.
    QMenuBar* MainMenu1 = nullptr;
    QMenu* N1 = nullptr; // "ﾌｧｲﾙ"
    QAction* K1 = nullptr;
    QAction* Exit1 = nullptr;
    QFrame* Panel1 = nullptr;
    QFrame* Panel2 = nullptr;
    QTabWidget* pgc = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QWidget* TabSheet3 = nullptr;
    QWidget* TabSheet4 = nullptr; // "ﾊﾞｯｸｱｯﾌﾟ": the backup folder and the keep rules
    QLineEdit* BackupFolder = nullptr; // empty: the default folder
    QSpinBox* AllDays = nullptr;
    QSpinBox* DailyMonths = nullptr;
    QSpinBox* MonthlyMonths = nullptr; // 0: for ever
    QLabel* BackupPlace = nullptr;     // where this PC's backups go, as typed
    DriveList* devnm = nullptr;
    DirList* devfl = nullptr;
    QLineEdit* Edit1 = nullptr;
    DriveList* devnm2 = nullptr;
    DirList* devfl2 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

    // Handlers.
    void FormActivate();
    void devnmChange();
    void devflChange();
    void devnm2Change();
    void devfl2Change();
    void Button1Click();
    void K1Click();
    void Button2Click();
    void Exit1Click();
    // A text or a number differs from what the dialog showed when it opened.
    bool unsaved() const;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* locationPage(DriveList*& drives, DirList*& dirs, QLineEdit*& edit, int editNumber);
    void buildItemPage();
    void buildBackupPage();
    void positionOnDrive(DirList* list, const QString& path);
    void followDrive(DriveList* drives, DirList* list);

    QStringList currentValues() const;

    TForm1* form1_;
    QStringList shownValues_;
};
