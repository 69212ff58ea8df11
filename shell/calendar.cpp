#include "shell/calendar.h"

#include "ledger/errors.h"
#include "ledger/jp_holidays.h"
#include "shell/theme.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

namespace {

Date dateOf(const QDate& d) {
    return {d.year(), d.month(), d.day()};
}

} // namespace

TCalendar::TCalendar(QWidget* parent) : QWidget(parent), date_(QDate::currentDate()) {
    setFocusPolicy(Qt::StrongFocus);
    relayout();
    // The budget bar at the foot of the cell, the forecast above it.
    addDecoration({[this](const QDate& day, int cellHeight) {
                       const int i = barIndex(day);
                       return i >= 0 && i < budgetBars_.size() && budgetBars_[i] >= 0
                                  ? std::max(3, cellHeight / 12) + 4
                                  : 0;
                   },
                   [this](QPainter& p, const QRect& band, const QDate& day) {
                       drawBudgetBar(p, band.adjusted(3, 2, -3, -2), budgetBars_[barIndex(day)]);
                   },
                   {}});
    addDecoration(
        {[this](const QDate& day, int cellHeight) {
             return dayNote(day, true).isEmpty() ? 0
                                                 : QFontMetrics(noteFont(cellHeight)).height() + 2;
         },
         [this](QPainter& p, const QRect& band, const QDate& day) { drawForecast(p, band, day); },
         [this](const QDate& day) { return dayNote(day, false); }});
}

void TCalendar::addDecoration(Decoration d) {
    decorations_.push_back(std::move(d));
    update();
}

void TCalendar::addDayNotes(DayNotes notes) {
    notes_.push_back(std::move(notes));
    update();
}

QString TCalendar::dayNote(const QDate& day, bool futureOnly) const {
    QStringList lines;
    for (const DayNotes& notes : notes_) {
        const QString note = notes(day, futureOnly);
        if (!note.isEmpty()) lines << note;
    }
    return lines.join(QLatin1Char('\n'));
}

QColor TCalendar::dayInk(const QDate& day) const {
    const QPalette& pal = palette();
    const Date d = dateOf(day);
    if (weekday(d) == 0 || isHoliday(d)) return Theme::sundayInk(pal);
    if (weekday(d) == 6) return Theme::saturdayInk(pal);
    return pal.color(QPalette::Text);
}

QString TCalendar::dayTip(const QDate& day) const {
    QStringList lines;
    const std::string holiday = holidayName(dateOf(day));
    if (!holiday.empty()) lines << QString::fromStdString(holiday);
    for (const Decoration& d : decorations_) {
        const QString tip = d.tip ? d.tip(day) : QString();
        if (!tip.isEmpty()) lines << tip;
    }
    return lines.join(QLatin1Char('\n'));
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
        // The program speaks Japanese whatever the process's locale says.
        static const QString names[7] = {
            QStringLiteral("日"), QStringLiteral("月"), QStringLiteral("火"), QStringLiteral("水"),
            QStringLiteral("木"), QStringLiteral("金"), QStringLiteral("土")};
        return names[(col + startOfWeek_) % 7];
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
    const QFontMetrics fm(font());
    for (int row = 0; row < Rows; ++row) {
        for (int col = 0; col < Cols; ++col) {
            const QRect r = cellRect(col, row);
            const bool selected = row == row_ && col == col_;
            const QColor bg = row == 0   ? pal.color(QPalette::Button)
                              : selected ? pal.color(QPalette::Highlight)
                                         : pal.color(QPalette::Base);
            p.fillRect(r, bg);
            const QString text = cellText(col, row);
            if (text.isEmpty()) continue;
            const int weekday = (col + startOfWeek_) % 7;
            QColor ink;
            int bottom = r.bottom() + 1;
            if (row == 0) {
                ink = weekday == 0   ? Theme::sundayInk(pal, QPalette::Button)
                      : weekday == 6 ? Theme::saturdayInk(pal, QPalette::Button)
                                     : pal.color(QPalette::ButtonText);
            } else {
                const QDate day = cellDate(col, row);
                // The neighbouring periods' days: greyed, and nothing drawn on them.
                const bool shown = shows(day);
                ink = !shown     ? pal.color(QPalette::Disabled, QPalette::WindowText)
                      : selected ? pal.color(QPalette::HighlightedText)
                                 : dayInk(day);
                // Decorations stack up from the cell's foot; the number is
                // centred in what they leave.
                if (shown)
                    for (const Decoration& d : decorations_) {
                        const int h = d.height ? d.height(day, r.height()) : 0;
                        if (h <= 0 || !d.paint) continue;
                        const QRect band(r.left(), bottom - h, r.width(), h);
                        p.save();
                        p.setClipRect(band.intersected(r));
                        d.paint(p, band, day);
                        p.restore();
                        bottom -= h;
                    }
            }
            p.setFont(font());
            p.setPen(ink);
            const int room = std::max(bottom - r.top(), fm.height());
            const int x = r.left() + (r.width() - fm.horizontalAdvance(text)) / 2;
            const int y = r.top() + (room - fm.height()) / 2 + fm.ascent();
            p.drawText(x, y, text);
        }
    }
}

QFont TCalendar::noteFont(int cellHeight) const {
    QFont small = font();
    small.setPixelSize(std::max(12, cellHeight / 4));
    small.setBold(false);
    return small;
}

void TCalendar::drawForecast(QPainter& p, const QRect& band, const QDate& day) {
    const QStringList lines = dayNote(day, true).split(QLatin1Char('\n'));
    const QFont small = noteFont(cellRect(0, 1).height());
    const QFontMetrics sm(small);
    const bool selected = day == date_;
    const QPalette& pal = palette();
    p.setFont(small);
    p.setPen(selected ? pal.color(QPalette::HighlightedText) : Theme::muted(pal));
    // One line fits; the rest are counted, and the tooltip lists them all.
    // In a narrow cell the amount matters more than the item's name.
    const QString more =
        lines.size() > 1 ? QStringLiteral(" 他%1件").arg(lines.size() - 1) : QString();
    const int room = band.width() - 4;
    QString line = lines.front() + more;
    if (sm.horizontalAdvance(line) > room)
        line = lines.front().section(QLatin1Char(' '), -1) + more;
    line = sm.elidedText(line, Qt::ElideRight, room);
    p.drawText(band.adjusted(2, 0, -2, 0), Qt::AlignHCenter | Qt::AlignVCenter, line);
}

void TCalendar::drawBudgetBar(QPainter& p, const QRect& track, double ratio) {
    // Full width is the budget to date: green while within it, all red once over.
    p.fillRect(track, QColor(0xdd, 0xdd, 0xdd));
    const bool over = ratio > 1.0;
    p.fillRect(
        QRect(track.left(), track.top(), int(track.width() * qMin(ratio, 1.0)), track.height()),
        over ? QColor(0xd0, 0x20, 0x20) : QColor(0x2e, 0x8b, 0x57));
}

bool TCalendar::event(QEvent* e) {
    if (e->type() != QEvent::ToolTip) return QWidget::event(e);
    const auto* help = static_cast<QHelpEvent*>(e);
    int col, row;
    QString tip;
    if (cellAt(help->pos(), col, row) && row > 0) {
        const QString text = cellText(col, row);
        if (!text.isEmpty()) tip = dayTip(QDate(Year(), Month(), text.toInt()));
    }
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), tip, this);
    return true;
}

void TCalendar::setBudgetBars(const QVector<double>& ratios) {
    if (ratios == budgetBars_) return;
    budgetBars_ = ratios;
    update();
}
