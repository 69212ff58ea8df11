#pragma once
// A capability beyond the main window's own windows plugs in here: it puts
// its menu entries, shortcuts, toolbar buttons, day decorations and settings
// pages on the main window through the command host, and reaches the month
// through the document. Adding one touches no file in shell/: its unit lives in
// windows/ and is listed in windows/feature_list.cpp.

#include <QDate>
#include <QKeySequence>
#include <QList>
#include <QString>
#include <QVector>
#include <functional>
#include <string>

class BookDocument;
class QAction;
class QWidget;

// A page of the settings dialog, after the dialog's own pages. Its widget is
// made once, with the dialog; it shows the book's values each time the
// dialog opens. On 保存して終了 every page is checked before anything is
// written, then stored before the configuration: a refused write leaves the
// configuration and the main window as they were.
class SettingsPage {
public:
    virtual ~SettingsPage() = default;
    virtual QString caption() const = 0;
    virtual QWidget* createWidget(QWidget* parent) = 0;
    virtual void load() = 0;
    // Throws the program's error for a value that cannot be kept.
    virtual void check() {}
    // `ledgerDir` is the ledger folder chosen on the dialog: side files go
    // with it. Throws when refused.
    virtual void store(const std::string& ledgerDir) = 0;
};

// The sections of the menus a feature's entry can join, each between the
// separators users know; entries of a section keep their install order.
enum class MenuPlace {
    FileWindows,  // ﾌｧｲﾙ, after 日記記帳
    FileOutput,   // ﾌｧｲﾙ, the printouts and imports
    FileData,     // ﾌｧｲﾙ, backups and archives
    EditHistory,  // 編集, after the undo commands
    SettingsMenu, // 設定, after 日記帳環境
};

class CommandHost {
public:
    virtual ~CommandHost() = default;
    virtual BookDocument& document() = 0;
    // The parent of a feature's windows.
    virtual QWidget* mainWindow() = 0;
    // A menu entry, disabled until the feature enables it (when its window
    // is made); `name` is its object name.
    virtual QAction* addMenuEntry(MenuPlace place, const QString& caption, const QString& name,
                                  const QList<QKeySequence>& keys = {}) = 0;
    // A toolbar button after the others that runs `action` and follows its
    // enabled state.
    virtual void addToolButton(QAction* action, int width, const QString& name) = 0;
    // Day decorations of the calendar. Bars: per day of the shown month from
    // day 1, the spending to date against the plan (1.0 on plan), negative
    // for none; asked again on every change of the month's amounts.
    virtual void setDayBars(std::function<QVector<double>()> bars) = 0;
    // Notes of a day, one per line; future-only ones are forecasts.
    virtual void setDayNotes(std::function<QString(const QDate&, bool futureOnly)> notes) = 0;
    // A page of the settings dialog, in install order; the page outlives
    // the dialog.
    virtual void addSettingsPage(SettingsPage* page) = 0;
    // The main window's own windows a feature may lead to; the daily sheet
    // shows the document's day.
    virtual void showDailySheet() = 0;
    virtual void showDiary() = 0;
    virtual void showMonthlyList() = 0;
};

class Feature {
public:
    virtual ~Feature() = default;
    // With the main window, before its first frame: entries and buttons.
    virtual void install(CommandHost& host) = 0;
    // After the first frame: the feature's windows, and its entries enabled.
    virtual void attach(CommandHost& host) = 0;
};
