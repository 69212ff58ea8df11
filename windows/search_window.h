#pragma once
// What the program's search windows share: a query box that searches as one
// types (windows/background_search.h), the list of what was found, a status
// line, and Enter (or a double click) opening the chosen row's day, even
// when typed before the list caught up. Each window adds what it shows
// between the list and the status line, runs its own search and opens its
// own kind of day.

#include <QDialog>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>

class QAction;
class QLabel;
class QLineEdit;
class QTreeWidget;
class QVBoxLayout;
class BackgroundSearch;
class BookDocument;
class CommandHost;

class SearchWindow : public QDialog {
    Q_OBJECT

public:
    struct Look {
        QString name, title;
        QString openCaption; // the ﾌｧｲﾙ menu's entry that Enter triggers
        QString boxName, placeholder;
        QStringList columns;
        int pauseMs = 200; // after the last key, before a search starts
        QPoint at;
        QSize size;
    };
    SearchWindow(CommandHost* host, const Look& look);
    // Stops a search in flight and waits for it: it reads through the
    // document's store.
    ~SearchWindow() override;

    // Searches for the box as it stands, at once.
    virtual void searchNow();
    // Opens the selected row's day; typed before the list caught up, the
    // first row found for what was typed.
    void openSelectedDay();
    // Typing not searched yet, or a search whose list is not shown yet.
    bool searching() const;

signals:
    // A search's list has been put into the list.
    void resultsShown();

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

    // Called when typing pauses, and by searchNow.
    virtual void startSearch() = 0;
    virtual void openRow() = 0;
    // A search's outcome is in the list: says so, and opens the row that
    // Enter asked for while it ran.
    void listFilled();
    // The body's layout: the box, the list (at 1) and the status line.
    QVBoxLayout* bodyLayout() const { return layout_; }

    QAction* openAction_ = nullptr;
    QAction* exitAction_ = nullptr;
    QLineEdit* queryEdit_ = nullptr;
    QTreeWidget* resultList_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    CommandHost* host_;
    BookDocument* doc_;
    BackgroundSearch* search_ = nullptr;

private:
    QVBoxLayout* layout_ = nullptr;
    bool openWhenShown_ = false;
};
