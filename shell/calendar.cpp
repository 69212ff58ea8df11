#include "shell/calendar.h"

#include "ledger/errors.h"

#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

TCalendar::TCalendar(QWidget* parent) : QWidget(parent), date_(QDate::currentDate()) {
    setFocusPolicy(Qt::StrongFocus);
    relayout();
}

bool TCalendar::isLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int TCalendar::daysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

int TCalendar::datePart(int index) const {
    switch (index) {
    case 1:
        return Year();
    case 2:
        return Month();
    case 3:
        return Day();
    default:
        return -1;
    }
}

QDate TCalendar::withDatePart(const QDate& date, int index, int v) {
    if (index < 1 || index > 3 || v < 1) return date;
    if (index == 2 && v > 12) return date;
    if (index == 3 && v > daysInMonth(date.year(), date.month())) return date;
    int y = date.year(), m = date.month(), d = date.day();
    if (v == (index == 1 ? y : index == 2 ? m : d)) return date;
    (index == 1 ? y : index == 2 ? m : d) = v;
    if (y > 9999 || d > daysInMonth(y, m)) throw AppError(msg::InvalidDate);
    return QDate(y, m, d);
}

void TCalendar::setDatePart(int index, int v) {
    const QDate next = withDatePart(date_, index, v);
    if (next == date_) return;
    useCurrentDate_ = false;
    changeDate(next);
}

void TCalendar::changeDate(const QDate& date) {
    date_ = date;
    relayout();
    ++redraws_;
    update();
    emit dateChanged();
}

void TCalendar::setStartOfWeek(int day) {
    if (day < 0 || day > 6 || day == startOfWeek_) return;
    startOfWeek_ = day;
    relayout();
    ++redraws_;
    update();
}

void TCalendar::relayout() {
    // QDate counts Monday 1 .. Sunday 7; the grid counts Sunday 0 .. Saturday 6.
    const QDate first = spanned() ? spanFirst_ : QDate(Year(), Month(), 1);
    const int weekday = first.dayOfWeek() % 7;
    firstColumn_ = ((weekday - startOfWeek_) % 7 + 7) % 7;
    const int pos = firstColumn_ + int(first.daysTo(date_));
    row_ = pos / 7 + 1;
    col_ = pos % 7;
}

void TCalendar::setSpan(const QDate& first, const QDate& last) {
    const bool on = first.isValid() && last.isValid() && first <= last;
    const QDate f = on ? first : QDate(), l = on ? last : QDate();
    if (f == spanFirst_ && l == spanLast_) return;
    spanFirst_ = f;
    spanLast_ = l;
    relayout();
    ++redraws_;
    update();
}

QDate TCalendar::cellDate(int col, int row) const {
    if (col < 0 || col >= Cols || row < 1 || row >= Rows) return {};
    const int offset = col + 7 * (row - 1) - firstColumn_;
    if (spanned()) return spanFirst_.addDays(offset);
    if (offset < 0 || offset >= daysInMonth(Year(), Month())) return {};
    return QDate(Year(), Month(), offset + 1);
}

bool TCalendar::shows(const QDate& day) const {
    if (spanned()) return spanFirst_ <= day && day <= spanLast_;
    return day.year() == Year() && day.month() == Month();
}

QString TCalendar::cellText(int col, int row) const {
    if (col < 0 || col >= Cols || row < 0 || row >= Rows) return {};
    if (row == 0) {
        const int weekday = (col + startOfWeek_) % 7; // 0 Sunday
        const QString name = QLocale().dayName(weekday == 0 ? 7 : weekday, QLocale::ShortFormat);
        if (!name.isEmpty()) return name;
        static const char* fallback[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
        return QString::fromLatin1(fallback[weekday]);
    }
    const QDate d = cellDate(col, row);
    return d.isValid() ? QString::number(d.day()) : QString();
}

int TCalendar::colWidth() const {
    return (width() - 6 * GridLineWidth) / 7;
}
int TCalendar::rowHeight() const {
    return (height() - 6 * GridLineWidth) / 7;
}

QRect TCalendar::cellRect(int col, int row) const {
    const int w = colWidth(), h = rowHeight();
    return QRect(col * (w + GridLineWidth), row * (h + GridLineWidth), w, h);
}

bool TCalendar::selectCell(int col, int row) {
    if (readOnly_) return false;
    const QDate d = cellDate(col, row);
    if (!d.isValid() || !shows(d)) return false;
    if (d != date_) {
        useCurrentDate_ = false;
        changeDate(d);
    }
    return true;
}

bool TCalendar::cellAt(const QPoint& pos, int& col, int& row) const {
    const int w = colWidth() + GridLineWidth, h = rowHeight() + GridLineWidth;
    if (w <= 0 || h <= 0 || pos.x() < 0 || pos.y() < 0) return false;
    col = pos.x() / w;
    row = pos.y() / h;
    return col < Cols && row < Rows;
}

void TCalendar::mousePressEvent(QMouseEvent* e) {
    int col, row;
    if (e->button() == Qt::LeftButton && cellAt(e->position().toPoint(), col, row))
        selectCell(col, row);
    QWidget::mousePressEvent(e);
}

void TCalendar::mouseDoubleClickEvent(QMouseEvent* e) {
    int col, row;
    if (e->button() == Qt::LeftButton) {
        if (cellAt(e->position().toPoint(), col, row)) selectCell(col, row);
        emit doubleClicked();
    }
}

void TCalendar::keyPressEvent(QKeyEvent* e) {
    int dc = 0, dr = 0;
    switch (e->key()) {
    case Qt::Key_Left:
        dc = -1;
        break;
    case Qt::Key_Right:
        dc = 1;
        break;
    case Qt::Key_Up:
        dr = -1;
        break;
    case Qt::Key_Down:
        dr = 1;
        break;
    default:
        QWidget::keyPressEvent(e);
        return;
    }
    selectCell(col_ + dc, row_ + dr);
}

void TCalendar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Mid));
    p.setFont(font());
    const QFontMetrics fm(font());
    for (int row = 0; row < Rows; ++row) {
        for (int col = 0; col < Cols; ++col) {
            const QRect r = cellRect(col, row);
            const bool selected = row == row_ && col == col_;
            QColor bg = row == 0   ? pal.color(QPalette::Button)
                        : selected ? pal.color(QPalette::Highlight)
                                   : pal.color(QPalette::Base);
            p.fillRect(r, bg);
            p.setPen(selected && row > 0 ? pal.color(QPalette::HighlightedText)
                                         : pal.color(QPalette::WindowText));
            const QString text = cellText(col, row);
            if (text.isEmpty()) continue;
            const QDate date = cellDate(col, row);
            // The neighbouring periods' days: greyed, and nothing drawn on them.
            const bool shown = row == 0 || shows(date);
            if (!shown) p.setPen(pal.color(QPalette::Disabled, QPalette::WindowText));
            const int x = r.left() + (r.width() - fm.horizontalAdvance(text)) / 2;
            const int y = r.top() + (r.height() - fm.height()) / 2 + fm.ascent();
            p.drawText(x, y, text);
            if (row == 0 || !shown) continue;
            const int day = int((spanned() ? spanFirst_ : QDate(Year(), Month(), 1)).daysTo(date));
            if (day < budgetBars_.size() && budgetBars_[day] >= 0)
                drawBudgetBar(p, r, budgetBars_[day]);
            if (!notes_) continue;
            const QString note = notes_(date, true);
            if (note.isEmpty()) continue;
            QFont small = font();
            small.setPixelSize(std::max(9, r.height() / 5));
            small.setBold(false);
            p.setFont(small);
            p.setPen(pal.color(QPalette::Disabled, QPalette::WindowText));
            const QFontMetrics sm(small);
            const QString line =
                sm.elidedText(note.section('\n', 0, 0), Qt::ElideRight, r.width() - 4);
            p.drawText(r.left() + 2, r.bottom() - sm.descent() - 2, line);
            p.setFont(font());
        }
    }
}

void TCalendar::drawBudgetBar(QPainter& p, const QRect& cell, double ratio) {
    // Full width is the budget to date: green while within it, all red once over.
    const int h = qMax(3, cell.height() / 12);
    const QRect track(cell.left() + 3, cell.bottom() - h - 2, cell.width() - 6, h);
    p.fillRect(track, QColor(0xdd, 0xdd, 0xdd));
    const bool over = ratio > 1.0;
    p.fillRect(QRect(track.left(), track.top(), int(track.width() * qMin(ratio, 1.0)), h),
               over ? QColor(0xd0, 0x20, 0x20) : QColor(0x2e, 0x8b, 0x57));
}

void TCalendar::setBudgetBars(const QVector<double>& ratios) {
    if (ratios == budgetBars_) return;
    budgetBars_ = ratios;
    update();
}
