#pragma once
// The main window: the month calendar (a view of the document's date), month
// navigation, and the menus that the features add their entries to. The
// month's state lives in the document; the names below are thin calls into it.

#include "shell/book_document.h"
#include "shell/book_folder.h"
#include "shell/feature.h"

#include <QMainWindow>

class QDialog;
class QFrame;
class QLabel;
class QMenu;
class QToolButton;
class TCalendar;

class TForm1 : public QMainWindow, public CommandHost {
    Q_OBJECT
    std::unique_ptr<BookDocument> ownDoc_; // first: the names below refer to it
    BookDocument* doc_;

public:
    explicit TForm1(QWidget* parent = nullptr); // a document of its own, in the current folder
    explicit TForm1(BookDocument& document, QWidget* parent = nullptr);
    ~TForm1() override;

    BookDocument& document() override { return *doc_; }
    Book& book() { return doc_->book(); }
    const Book& book() const { return doc_->book(); }
    BookFolder StartDir{book(), &Book::startDir, &Book::setStartDir};
    BookFolder LedgerDir{book(), &Book::ledgerDir, &Book::setLedgerDir};
    BookFolder DiaryDir{book(), &Book::diaryDir, &Book::setDiaryDir};
    MonthLedger& Ledger = book().ledger();

    QFrame* Panel2 = nullptr; // toolbar
    QFrame* Panel1 = nullptr; // holds the calendar
    QToolButton *Next = nullptr, *SpeedButton1 = nullptr, *SpeedButton2 = nullptr;
    QToolButton *SpeedButton3 = nullptr, *SpeedButton4 = nullptr, *SpeedButton5 = nullptr;
    QLabel* nen = nullptr;
    TCalendar* mc = nullptr;
    QMenu *Exit1 = nullptr, *Edit1 = nullptr, *K1 = nullptr, *HELP1 = nullptr;
    QAction *Exit2 = nullptr, *Exit3 = nullptr, *Exit4 = nullptr;
    QAction *K2 = nullptr, *K3 = nullptr, *About1 = nullptr;

    // The description's windows, made after this one; their entries are off till then.
    void setDailySheet(QDialog* form2);
    void setDiary(QDialog* form3);
    void setSettings(QDialog* form4);
    void setVersion(QDialog* form6);
    void setMonthlyList(QDialog* form7);
    // Called before the daily sheet is shown: fills it for the shown date.
    void setSheetFiller(std::function<void()> fill) { sheetFiller_ = std::move(fill); }
    void setHelpHandler(std::function<void(const QString& helpFile)> help); // K3Click calls it
    QString helpFile() const { return helpFile_; }
    void setHelpFile(const QString& file) { helpFile_ = file; }
    void install(Feature& feature) { feature.install(*this); } // its windows come later
    const QList<SettingsPage*>& settingsPages() const { return settingsPages_; }
    // The description's operations.
    void MonthDisp();
    void MonthSave() { doc_->save(); }
    void MonthLoad(int mode) { mode == 1 ? doc_->loadPrevious() : doc_->loadCurrent(); }
    void LoadMonths() { doc_->loadMonths(); }
    void CfgRead() { doc_->readConfiguration(); }
    void configurationWritten() { doc_->configurationWritten(); }
    void goToDate(int year, int month, int day) { doc_->goToDate(year, month, day); }
    bool monthSavable() const { return !book().held(); }
    bool monthNeverLoaded() const { return book().neverLoaded(); }
    QString dayNote(const QDate& day) const;
    void showDailySheet() override;
    void showDiary() override;
    void showMonthlyList() override;

    // Handlers.
    void FormActivate();
    void FormResize() { MonthDisp(); }
    void NextClick() { doc_->stepMonth(-1); }
    void SpeedButton1Click() { doc_->stepMonth(1); }
    void mcDblClick() { showDailySheet(); }
    void SpeedButton3Click() { showDailySheet(); }
    void SpeedButton4Click() { showDiary(); }
    void SpeedButton5Click() { showMonthlyList(); }
    void Exit2Click() { showDailySheet(); }
    void Exit3Click() { showDiary(); }
    void Exit4Click();
    void K2Click();
    void K3Click();
    void About1Click();

    // The command host.
    QWidget* mainWindow() override { return this; }
    QAction* addMenuEntry(MenuPlace place, const QString& caption, const QString& name,
                          const QList<QKeySequence>& keys) override;
    void addToolButton(QAction* action, int width, const QString& name) override;
    void setDayBars(std::function<QVector<double>()> bars) override;
    void setDayNotes(std::function<QString(const QDate&, bool)> notes) override;
    void addSettingsPage(SettingsPage* page) override { settingsPages_ << page; }

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void buildUi();
    void runActivationOnce();
    void drawDayBars();

    QDialog *form2_ = nullptr, *form3_ = nullptr, *form4_ = nullptr, *form6_ = nullptr,
            *form7_ = nullptr;
    QAction* sectionEnd_[3] = {}; // the separators closing the ﾌｧｲﾙ menu's sections
    std::function<void()> sheetFiller_;
    std::function<void(const QString&)> helpHandler_;
    std::function<QVector<double>()> dayBars_;
    QList<SettingsPage*> settingsPages_;
    QString helpFile_;
    bool activated_ = false;
};
