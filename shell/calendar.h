#pragma once
// The month calendar: a 7 x 7 grid of day numbers under a header row of
// weekday names (in Japanese, whatever the locale), holding the program's current date. Only cells
// that show a day can be selected; the selected cell always matches the date's day.

#include <QDate>
#include <QVector>
#include <QWidget>
#include <functional>
#include <vector>

class QPainter;

class TCalendar : public QWidget {
    Q_OBJECT

public:
    explicit TCalendar(QWidget* parent = nullptr);

    static constexpr int Cols = 7;
    static constexpr int Rows = 7;
    static constexpr int GridLineWidth = 1;

    int Year() const { return date_.year(); }
    int Month() const { return date_.month(); }
    int Day() const { return date_.day(); }
    // Writing a part: values below 1, a month above 12 or a day beyond the
    // month are ignored; the current value changes nothing; a result that is
    // not a date throws "日付に変換できない値が渡されました".
    void setYear(int v) { setDatePart(1, v); }
    void setMonth(int v) { setDatePart(2, v); }
    void setDay(int v) { setDatePart(3, v); }
    // Index access: 1 Year, 2 Month, 3 Day; any other index reads -1.
    int datePart(int index) const;
    void setDatePart(int index, int value);
    // The date with one part written by the rule above: `date` itself when
    // the value is ignored.
    static QDate withDatePart(const QDate& date, int index, int value);
    // Shows another date, as the document names it.
    void showDate(const QDate& date) {
        if (date.isValid() && date != date_) {
            useCurrentDate_ = false;
            changeDate(date);
        }
    }
    const QDate& date() const { return date_; }
    // A period other than the calendar month: the grid shows the weeks from
    // the week of `first`, the days of the neighbouring periods greyed and
    // not selectable. A null span is the date's calendar month.
    void setSpan(const QDate& first, const QDate& last);
    QDate spanFirst() const { return spanFirst_; }
    // The day a cell shows (neighbouring ones included); null for the
    // header row and empty cells.
    QDate cellDate(int col, int row) const;
    // Whether the day belongs to what is shown: the month, or the span.
    bool shows(const QDate& day) const;

    bool UseCurrentDate() const { return useCurrentDate_; }
    int StartOfWeek() const { return startOfWeek_; }
    void setStartOfWeek(int day);
    bool ReadOnly() const { return readOnly_; }
    void setReadOnly(bool on) { readOnly_ = on; }

    // The layout, for drawing and for tests.
    int firstColumn() const { return firstColumn_; }
    QString cellText(int col, int row) const;
    int currentCol() const { return col_; }
    int currentRow() const { return row_; }
    int colWidth() const;
    int rowHeight() const;
    QRect cellRect(int col, int row) const;
    int redrawCount() const { return redraws_; }

    // Per day of the month (or the span) from its first day: the variable
    // spending to date against the budget to date (1.0 on plan), drawn as a
    // slim bar in the day's cell; a negative value or a day beyond the list
    // draws none.
    void setBudgetBars(const QVector<double>& ratios);
    const QVector<double>& budgetBars() const { return budgetBars_; }
    // Notes of a day (scheduled postings), one per line; future-only ones are
    // drawn under the day's number as a forecast. Each source added keeps
    // the ones before; a day's note joins theirs.
    using DayNotes = std::function<QString(const QDate& day, bool futureOnly)>;
    void setDayNotes(DayNotes notes) {
        if (notes) addDayNotes(std::move(notes));
    }
    void addDayNotes(DayNotes notes);
    QString dayNote(const QDate& day, bool futureOnly) const;

    // A day decoration: a band at the foot of each day's cell, stacked above
    // the ones added before it. `height` says how tall its band is in a cell
    // of the given height (0: nothing that day), `paint` draws into the band,
    // and `tip` adds a line to the day's tooltip (may be empty).
    struct Decoration {
        std::function<int(const QDate& day, int cellHeight)> height;
        std::function<void(QPainter& p, const QRect& band, const QDate& day)> paint;
        std::function<QString(const QDate& day)> tip;
    };
    void addDecoration(Decoration d);
    // The colour of a day's number: Sundays and holidays red, Saturdays blue
    // (each readable on the cell), the rest in the text colour.
    QColor dayInk(const QDate& day) const;
    // What hovering a day tells: its holiday's name, then the decorations'.
    QString dayTip(const QDate& day) const;

    static int daysInMonth(int year, int month);
    static bool isLeapYear(int year);

signals:
    void doubleClicked();
    void dateChanged();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool event(QEvent* e) override;

private:
    void relayout();
    // Makes a cell current when it shows a day; the date's day follows.
    bool selectCell(int col, int row);
    bool cellAt(const QPoint& pos, int& col, int& row) const;
    void changeDate(const QDate& date);
    void drawBudgetBar(QPainter& p, const QRect& track, double ratio);
    void drawForecast(QPainter& p, const QRect& band, const QDate& day);
    QFont noteFont(int cellHeight) const;
    bool spanned() const { return spanFirst_.isValid(); }
    // A day's place in the budget bars: from the period's first day when
    // spanned, else from the month's.
    int barIndex(const QDate& day) const {
        return int((spanned() ? spanFirst_ : QDate(Year(), Month(), 1)).daysTo(day));
    }

    QDate spanFirst_, spanLast_;

    QDate date_;
    bool useCurrentDate_ = true;
    int startOfWeek_ = 0;
    bool readOnly_ = false;
    int firstColumn_ = 0;
    int col_ = 0;
    int row_ = 1;
    int redraws_ = 0;
    QVector<double> budgetBars_;
    std::vector<DayNotes> notes_;
    std::vector<Decoration> decorations_;
};
