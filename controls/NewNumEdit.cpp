#include "controls/NewNumEdit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const char* const OverflowMessage = "整数のｵｰﾊﾞｰﾌﾛｰ";
const char* const NotNumberMessage = "入力値が数値ではありません";

constexpr std::int64_t MaxRaw = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t MinRaw = std::numeric_limits<std::int64_t>::min();

// |raw| without overflow: the most negative value has no positive twin.
std::uint64_t magnitude(std::int64_t raw) {
    return raw < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(raw)
                   : static_cast<std::uint64_t>(raw);
}

std::uint64_t pow10(int n) {
    std::uint64_t p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

QString groupByThree(const QString& digits) {
    QString out;
    const int n = digits.size();
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out += QLatin1Char(',');
        out += digits.at(i);
    }
    return out;
}

bool isSeparator(QChar c) {
    return c == QLatin1Char(',') || c == QLatin1Char('.');
}

} // namespace

Currency Currency::fromUnits(std::int64_t units) {
    if (units > MaxRaw / Scale || units < MinRaw / Scale) throw NumEditError(OverflowMessage);
    return fromRaw(units * Scale);
}

Currency Currency::fromDouble(double v) {
    if (!std::isfinite(v)) throw NumEditError(NotNumberMessage);
    // nearbyint rounds ties to even in the default rounding mode.
    const long double r = std::nearbyintl(static_cast<long double>(v) * Scale);
    if (r < -9223372036854775808.0L || r >= 9223372036854775808.0L)
        throw NumEditError(OverflowMessage);
    return fromRaw(static_cast<std::int64_t>(r));
}

TNewNumEdit::TNewNumEdit(QWidget* parent) : QLineEdit(parent) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Defaults in the order a stored form would apply them; the setters
    // depend on it (Decimal clears Value, MaxDecimal re-checks MaxDegits).
    setReturnNext(true);
    canNegative_ = true;
    leadingChar_ = QLatin1Char(' ');
    setMaxDegits(8);
    setDecimal(false);
    setMaxDecimal(0);
    setZeroDisplay(false);
    insertMode_ = true;
    setConmaDisplay(true);
    // Only the base's own edits are reported as edited; renderings are not.
    connect(this, &QLineEdit::textEdited, this, &TNewNumEdit::adoptText);
}

void TNewNumEdit::setDecimal(bool on) {
    decimal_ = on;
    value_ = Currency{};
    if (on) zeroDisplay_ = true;
    // The limit follows the mode at once; otherwise a limit computed for the
    // other mode would stay until MaxDegits is set again.
    recomputeLimit();
}

void TNewNumEdit::setMaxDegits(int n) {
    const long long intDigits = static_cast<long long>(n) - maxDecimal_;
    bool ok = true;
    if (!decimal_)
        ok = n >= MinIntDigits && n <= MaxIntDigits;
    else if (maxDecimal_ > 0)
        ok = intDigits >= MinIntDigits && intDigits <= MaxIntDigits;
    if (!ok) return;
    maxDegits_ = n;
    recomputeLimit();
}

void TNewNumEdit::setMaxDecimal(int n) {
    if (!decimal_) return;
    if (n < 0 || n >= maxDegits_) return;
    maxDecimal_ = n;
    setMaxDegits(maxDegits_);
}

void TNewNumEdit::setZeroDisplay(bool on) {
    if (!decimal_) {
        zeroDisplay_ = on;
        return;
    }
    zeroDisplay_ = true;
    QLineEdit::setText(QStringLiteral("0.") + QString(maxDecimal_, QLatin1Char('0')));
}

void TNewNumEdit::recomputeLimit() {
    std::int64_t units = 1;
    if (!(decimal_ && maxDecimal_ == 0)) {
        // Only an unchecked MaxDegits (Decimal with MaxDecimal 0, then
        // switched off) can exceed the clamp; 10^14 units is what fits.
        const long long e = std::clamp<long long>(static_cast<long long>(maxDegits_) - maxDecimal_,
                                                  0, MaxIntDigits);
        units = static_cast<std::int64_t>(pow10(static_cast<int>(e)));
    }
    valueLimit_ = Currency::fromRaw(units * Currency::Scale);
}

bool TNewNumEdit::TabStop() const {
    return (focusPolicy() & Qt::TabFocus) != 0;
}

void TNewNumEdit::setTabStop(bool on) {
    setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus);
}

void TNewNumEdit::setValue(Currency v) {
    value_ = v;
    QString s;
    if (zeroDisplay_ || v.raw != 0) s = FormatNumber(v);
    if (leadingChar_.unicode() > 32) s.prepend(leadingChar_);
    if (v.raw < 0) s.prepend(QLatin1Char('-'));
    QLineEdit::setText(s);
    setCursorPosition(std::clamp(workingToBox(caretPos_), 0, static_cast<int>(s.size())));
}

QString TNewNumEdit::FormatNumber(Currency v) const {
    const std::uint64_t m = magnitude(v.raw);
    const std::uint64_t scale = Currency::Scale;
    QString whole;
    QString frac;
    if (!decimal_) {
        // Grouped display rounds to whole units, the plain one truncates.
        whole = QString::number(conmaDisplay_ ? (m + scale / 2) / scale : m / scale);
    } else if (maxDecimal_ >= 4) {
        // Currency has four places; further ones are always zero.
        whole = QString::number(m / scale);
        frac = QString::number(m % scale).rightJustified(4, QLatin1Char('0')) +
               QString(maxDecimal_ - 4, QLatin1Char('0'));
    } else {
        const std::uint64_t step = pow10(4 - maxDecimal_);
        const std::uint64_t q = (m + step / 2) / step;
        const std::uint64_t p = pow10(maxDecimal_);
        whole = QString::number(q / p);
        if (maxDecimal_ > 0)
            frac = QString::number(q % p).rightJustified(maxDecimal_, QLatin1Char('0'));
    }
    if (conmaDisplay_) whole = groupByThree(whole);
    if (decimal_ && maxDecimal_ > 0) return whole + QLatin1Char('.') + frac;
    return whole;
}

Currency TNewNumEdit::ParseNumber(const QString& w) {
    QString s;
    for (QChar c : w)
        if (c != QLatin1Char(' ') && c != QLatin1Char(',') && c != QLatin1Char('-')) s += c;
    if (s.isEmpty()) return Currency{};

    const int dot = s.indexOf(QLatin1Char('.'));
    const QString whole = dot < 0 ? s : s.left(dot);
    const QString frac = dot < 0 ? QString() : s.mid(dot + 1);
    if (whole.isEmpty() && frac.isEmpty()) throw NumEditError(NotNumberMessage);
    for (QChar c : whole + frac)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) throw NumEditError(NotNumberMessage);

    // Beyond the range of Currency the magnitude saturates: it is above
    // every ValueLimit, so the edit is refused anyway.
    constexpr std::uint64_t maxUnits = MaxRaw / Currency::Scale;
    std::uint64_t units = 0;
    for (QChar c : whole) {
        units = units * 10 + static_cast<std::uint64_t>(c.unicode() - '0');
        if (units > maxUnits) return Currency::fromRaw(MaxRaw);
    }
    std::uint64_t raw = units * Currency::Scale;
    for (int i = 0; i < 4; ++i) {
        const int d = i < frac.size() ? frac.at(i).unicode() - '0' : 0;
        raw += static_cast<std::uint64_t>(d) * pow10(3 - i);
    }
    // The places past the fourth round to nearest, ties to even.
    if (frac.size() > 4) {
        const QChar first = frac.at(4);
        bool up = first > QLatin1Char('5');
        if (first == QLatin1Char('5')) {
            bool above = false;
            for (int i = 5; i < frac.size(); ++i)
                above = above || frac.at(i) != QLatin1Char('0');
            up = above || (raw % 2 == 1);
        }
        if (up) ++raw;
    }
    return Currency::fromRaw(
        raw > static_cast<std::uint64_t>(MaxRaw) ? MaxRaw : static_cast<std::int64_t>(raw));
}

int TNewNumEdit::CountCommas(const QString& w) {
    return static_cast<int>(w.count(QLatin1Char(',')));
}

QString TNewNumEdit::workingText(Currency v) const {
    const QString digits = FormatNumber(v);
    return v.raw < 0 ? QLatin1Char('-') + digits : digits;
}

Currency TNewNumEdit::EditAtCaret(EditKind kind, int digit, Currency v) {
    const QString w0 = workingText(v);
    const int c0 = CountCommas(w0);
    // After a paste the box may be longer than the working text.
    const int pos = std::clamp(boxToWorking(boxCaret()), 0, static_cast<int>(w0.size()));
    bool recount = true;
    QString w1;
    switch (kind) {
    case EditKind::InsertDigit:
        w1 = InsertDigit(w0, pos, digit, &recount);
        break;
    case EditKind::DeleteBefore:
        w1 = DeleteBefore(w0, pos);
        break;
    case EditKind::DeleteAt:
        w1 = DeleteAt(w0, pos);
        break;
    }
    Currency r = ParseNumber(w1);
    // Only the "-" key changes the sign.
    if (v.raw < 0) r.raw = -r.raw;
    if (recount) {
        caretPos_ += CountCommas(FormatNumber(r)) - c0;
        if (caretPos_ < 0) caretPos_ = 0;
    }
    return r;
}

QString TNewNumEdit::InsertDigit(const QString& w0, int pos, int digit, bool* recount) {
    const int len = static_cast<int>(w0.size());
    const QChar d(QLatin1Char(static_cast<char>('0' + digit)));
    // The decimal part is always typed over.
    const bool overwrite = !insertMode_ || (decimal_ && len - pos <= maxDecimal_);
    QString w = w0;
    if (!overwrite) {
        if (pos == 0 && w0.startsWith(QLatin1Char('0'))) {
            // A lone zero is replaced, not prefixed.
            w[0] = d;
            caretPos_ = 1;
            *recount = false;
            return w;
        }
        w.insert(pos, d);
        caretPos_ = pos + 1;
        *recount = true;
        return w;
    }
    *recount = false;
    if (pos < len && isSeparator(w0.at(pos))) {
        caretPos_ = pos;
        return w0;
    }
    if (pos < len) w[pos] = d;
    caretPos_ = pos + 1;
    return w;
}

QString TNewNumEdit::DeleteBefore(const QString& w0, int pos) {
    const int len = static_cast<int>(w0.size());
    QString w = w0;
    if (pos > 0 && isSeparator(w0.at(pos - 1))) {
        caretPos_ = pos;
        return w;
    }
    if (pos > 0 && decimal_ && len - pos <= maxDecimal_) {
        w[pos - 1] = QLatin1Char('0');
        caretPos_ = pos;
        return w;
    }
    if (pos > 0) w.remove(pos - 1, 1);
    caretPos_ = pos - 1;
    return w;
}

QString TNewNumEdit::DeleteAt(const QString& w0, int pos) {
    const int len = static_cast<int>(w0.size());
    QString w = w0;
    if (pos < len && isSeparator(w0.at(pos))) {
        caretPos_ = pos;
        return w;
    }
    if (decimal_ && len - pos <= maxDecimal_) {
        if (pos < len) w[pos] = QLatin1Char('0');
        caretPos_ = pos;
        return w;
    }
    // Nothing after the caret: nothing to delete, and the caret stays rather
    // than drifting left on every Delete.
    if (pos >= len) {
        caretPos_ = pos;
        return w;
    }
    w.remove(pos, 1);
    caretPos_ = pos - 1;
    return w;
}

bool TNewNumEdit::leadingShown() const {
    if (leadingChar_.unicode() <= 32) return false;
    const QString t = text();
    const int sign = t.startsWith(QLatin1Char('-')) ? 1 : 0;
    return t.size() > sign && t.at(sign) == leadingChar_;
}

// The leading character sits after the sign; a box position past it is one
// further right than the same position in the working text.
int TNewNumEdit::boxToWorking(int boxPos) const {
    if (!leadingShown()) return boxPos;
    const int sign = text().startsWith(QLatin1Char('-')) ? 1 : 0;
    return boxPos > sign ? boxPos - 1 : boxPos;
}

int TNewNumEdit::workingToBox(int workPos) const {
    workPos = std::max(workPos, 0);
    if (!leadingShown()) return workPos;
    const int sign = text().startsWith(QLatin1Char('-')) ? 1 : 0;
    return workPos >= sign ? workPos + 1 : workPos;
}

int TNewNumEdit::boxCaret() const {
    return hasSelectedText() ? selectionStart() : cursorPosition();
}

// A paste, a drop or an undo read as typed digits: one leading "-" (only
// where CanNegative allows it), digits with "," ignored, and in decimal mode
// one "." with at most MaxDecimal places; within ValueLimit.
bool TNewNumEdit::readText(const QString& t, Currency& r) const {
    QString s = t.trimmed();
    if (leadingChar_.unicode() > 32 && !leadingChar_.isDigit()) s.remove(leadingChar_);
    const bool negative = s.startsWith(QLatin1Char('-'));
    if (negative && !canNegative_) return false;
    if (negative) s.remove(0, 1);
    const int dot = s.indexOf(QLatin1Char('.'));
    if (dot >= 0 && (!decimal_ || maxDecimal_ == 0 || s.size() - dot - 1 > maxDecimal_))
        return false;
    for (int i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        const bool ok = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                        (c == QLatin1Char(',') && (dot < 0 || i < dot)) || i == dot;
        if (!ok) return false;
    }
    if (s == QLatin1String(".")) return false;
    r = ParseNumber(s);
    if (r >= valueLimit_) return false;
    if (negative) r.raw = -r.raw;
    return true;
}

void TNewNumEdit::adoptText(const QString& t) {
    // Keep the caret as far from the right end as the base left it.
    const int right = static_cast<int>(t.size()) - cursorPosition();
    Currency r;
    if (isReadOnly() || !readText(t, r)) {
        beep();
        setValue(value_);
        return;
    }
    setValue(r);
    setCursorPosition(std::max(0, static_cast<int>(text().size()) - right));
    caretPos_ = boxToWorking(cursorPosition());
}

void TNewNumEdit::beep() {
    QApplication::beep();
    emit beeped();
}

void TNewNumEdit::typeDigit(int digit) {
    if (hasSelectedText()) value_ = Currency{};
    const int oldCaret = caretPos_;
    const Currency r = EditAtCaret(EditKind::InsertDigit, digit, value_);
    if (r >= valueLimit_ || r.raw <= -valueLimit_.raw) {
        caretPos_ = oldCaret;
        beep();
        return;
    }
    setValue(r);
}

void TNewNumEdit::typeMinus() {
    // The most negative value has no positive twin: refuse like a digit
    // that would not fit.
    if (!canNegative_ || value_.raw == MinRaw) {
        beep();
        return;
    }
    // Keep the distance from the right end as the sign comes or goes; on
    // zero no sign shows, but the caret still steps left.
    caretPos_ += value_.raw <= 0 ? -1 : 1;
    setValue(Currency::fromRaw(-value_.raw));
}

void TNewNumEdit::typeChar(QChar ch) {
    if (ch >= QLatin1Char('0') && ch <= QLatin1Char('9'))
        typeDigit(ch.unicode() - '0');
    else if (ch == QLatin1Char('-'))
        typeMinus();
    else if (ch == QLatin1Char('.') && decimal_)
        setCursorPosition(std::max(0, static_cast<int>(text().size()) - maxDecimal_));
}

void TNewNumEdit::deleteKey(EditKind kind) {
    if (isReadOnly()) return;
    if (hasSelectedText()) {
        caretPos_ = 0;
        setValue(Currency{});
        return;
    }
    setValue(EditAtCaret(kind, 0, value_));
}

void TNewNumEdit::enterKey() {
    if (oninput_) oninput_(this);
    if (returnNext_) focusNext();
}

// The next control in tab order of this window, as Tab would choose it.
void TNewNumEdit::focusNext() {
    QWidget* const top = window();
    for (QWidget* w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain()) {
        if (w->window() != top || w->focusProxy()) continue;
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(top)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void TNewNumEdit::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Backspace:
        deleteKey(EditKind::DeleteBefore);
        e->accept();
        return;
    case Qt::Key_Delete:
        deleteKey(EditKind::DeleteAt);
        e->accept();
        return;
    case Qt::Key_Insert:
        // Shift+Insert and Ctrl+Insert are paste and copy, not a mode switch.
        if (!(e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)))
            insertMode_ = !insertMode_;
        QLineEdit::keyPressEvent(e);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Consumed even when nothing is done with it, so that a dialog's
        // default button does not fire.
        enterKey();
        e->accept();
        return;
    default:
        break;
    }
    const QString t = e->text();
    const bool shortcut =
        e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (!shortcut && !t.isEmpty() && t.at(0).isPrint()) {
        // Typed characters never reach the base, which would insert them.
        if (!isReadOnly())
            for (QChar ch : t)
                typeChar(ch);
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

void TNewNumEdit::inputMethodEvent(QInputMethodEvent* e) {
    // Committed text counts as typed; the base never composes into the box.
    if (!isReadOnly())
        for (QChar ch : e->commitString())
            typeChar(ch);
    e->accept();
}

void TNewNumEdit::focusInEvent(QFocusEvent* e) {
    QLineEdit::focusInEvent(e);
    // A closing context menu hands the focus back; that is no focus gain.
    if (autoSelect_ && e->reason() != Qt::PopupFocusReason) selectAll();
}

void TNewNumEdit::mousePressEvent(QMouseEvent* e) {
    QLineEdit::mousePressEvent(e);
    // A read-only display that is no tab stop hands the focus on.
    if (isReadOnly() && !TabStop()) focusNext();
}
