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

// Between operands in the box. "×" rather than "*", which may be the
// leading character.
const char* const PlusText = " + ";
const char* const TimesText = " × ";

using Wide = __int128;

bool fitsRaw(Wide v) {
    return v >= MinRaw && v <= MaxRaw;
}

// a * b in ten-thousandths, rounded to the nearest, ties to even, as every
// Currency is.
Wide timesRaw(Wide a, Wide b) {
    const Wide p = a * b;
    const Wide d = Currency::Scale;
    Wide q = p / d;
    const Wide r = p % d;
    const Wide twice = r < 0 ? -2 * r : 2 * r;
    if (twice > d || (twice == d && q % 2 != 0)) q += p < 0 ? -1 : 1;
    return q;
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
    clearExpression();
    value_ = Currency{};
    result_ = Currency{};
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
    clearExpression();
    showOperand(v);
}

void TNewNumEdit::clearExpression() {
    terms_.clear();
    fresh_ = false;
    freshNegative_ = false;
}

void TNewNumEdit::showOperand(Currency r) {
    value_ = r;
    // Edits that shrink an operand cannot push the result out of range; an
    // assignment has no operands before it.
    Currency res;
    if (evaluate(r, fresh_, res)) result_ = res;
    render();
}

void TNewNumEdit::render() {
    prefix_.clear();
    for (const Term& t : terms_)
        prefix_ += workingText(t.value) + QString::fromUtf8(t.op == '+' ? PlusText : TimesText);
    QString s;
    if (fresh_) {
        if (freshNegative_) s = QStringLiteral("-");
    } else {
        if (zeroDisplay_ || value_.raw != 0) s = FormatNumber(value_);
        if (leadingChar_.unicode() > 32) s.prepend(leadingChar_);
        if (value_.raw < 0) s.prepend(QLatin1Char('-'));
    }
    s.prepend(prefix_);
    QLineEdit::setText(s);
    setCursorPosition(std::clamp(workingToBox(caretPos_), 0, static_cast<int>(s.size())));
}

// Products before sums, as the box reads. A fresh operand is left out with
// the operator before it.
bool TNewNumEdit::evaluate(Currency r, bool fresh, Currency& out) const {
    if (terms_.empty()) {
        out = r;
        return true;
    }
    Wide sum = 0;
    Wide product = terms_.front().value.raw;
    auto apply = [&](char op, Wide v) {
        if (op == '*') {
            product = timesRaw(product, v);
        } else {
            sum += product;
            product = v;
        }
        return fitsRaw(product) && fitsRaw(sum);
    };
    for (std::size_t i = 1; i < terms_.size(); ++i)
        if (!apply(terms_[i - 1].op, terms_[i].value.raw)) return false;
    if (!fresh && !apply(terms_.back().op, r.raw)) return false;
    sum += product;
    if (!fitsRaw(sum)) return false;
    out = Currency::fromRaw(static_cast<std::int64_t>(sum));
    return true;
}

bool TNewNumEdit::withinLimit(Currency r) const {
    return r < valueLimit_ && r.raw > -valueLimit_.raw;
}

void TNewNumEdit::foldExpression() {
    if (terms_.empty()) return;
    const Currency r = result_;
    clearExpression();
    caretPos_ = static_cast<int>(workingText(r).size());
    showOperand(r);
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
    // After a paste the box may be longer than the working text. Nothing is
    // shown of a fresh operand: its edits start at its beginning.
    const int pos =
        fresh_ ? 0
               : std::clamp(boxToWorking(boxCaret()), 0, static_cast<int>(workingText(v).size()));
    return EditAt(kind, digit, v, pos);
}

Currency TNewNumEdit::EditAt(EditKind kind, int digit, Currency v, int pos) {
    const QString w0 = workingText(v);
    const int c0 = CountCommas(w0);
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
    const QString t = text().mid(prefix_.size());
    const int sign = t.startsWith(QLatin1Char('-')) ? 1 : 0;
    return t.size() > sign && t.at(sign) == leadingChar_;
}

// The operands before the one being edited come first; a caret among them
// edits at its beginning. The leading character sits after the sign; a box
// position past it is one further right than the same position in the
// working text.
int TNewNumEdit::boxToWorking(int boxPos) const {
    const int before = static_cast<int>(prefix_.size());
    boxPos = std::max(boxPos - before, 0);
    if (!leadingShown()) return boxPos;
    const int sign = text().mid(before).startsWith(QLatin1Char('-')) ? 1 : 0;
    return boxPos > sign ? boxPos - 1 : boxPos;
}

int TNewNumEdit::workingToBox(int workPos) const {
    const int before = static_cast<int>(prefix_.size());
    workPos = std::max(workPos, 0);
    if (!leadingShown()) return before + workPos;
    const int sign = text().mid(before).startsWith(QLatin1Char('-')) ? 1 : 0;
    return before + (workPos >= sign ? workPos + 1 : workPos);
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
    if (isReadOnly()) {
        beep();
        render();
        return;
    }
    if (!terms_.empty() && t.startsWith(prefix_)) {
        // Only the last operand changed: it is read as typed.
        const QString operand = t.mid(prefix_.size());
        const bool fresh = operand.trimmed().isEmpty();
        Currency res;
        if (!readText(operand, r) || !evaluate(r, fresh, res) || !withinLimit(res)) {
            beep();
            render();
            return;
        }
        fresh_ = fresh;
        freshNegative_ = false;
        showOperand(r);
    } else {
        if (!readText(t, r)) {
            beep();
            render();
            return;
        }
        setValue(r);
    }
    setCursorPosition(std::max(0, static_cast<int>(text().size()) - right));
    caretPos_ = boxToWorking(cursorPosition());
}

void TNewNumEdit::beep() {
    QApplication::beep();
    emit beeped();
}

void TNewNumEdit::typeDigit(int digit) {
    // A refused digit leaves everything as it was, the operands before too:
    // the box keeps showing what Value holds.
    const std::vector<Term> oldTerms = terms_;
    const bool oldFresh = fresh_;
    const bool oldNegative = freshNegative_;
    const int oldCaret = caretPos_;

    Currency v = value_;
    int pos = -1;
    if (hasSelectedText()) {
        v = Currency{};
        // A selection reaching into the earlier operands starts anew.
        if (selectionStart() < prefix_.size()) {
            clearExpression();
            pos = 0;
        }
    }
    const bool negative = fresh_ && freshNegative_;
    Currency r = pos < 0 ? EditAtCaret(EditKind::InsertDigit, digit, v)
                         : EditAt(EditKind::InsertDigit, digit, v, pos);
    if (negative) {
        r.raw = -r.raw;
        ++caretPos_;
    }
    Currency res;
    if (!withinLimit(r) || !evaluate(r, false, res) || !withinLimit(res)) {
        terms_ = oldTerms;
        fresh_ = oldFresh;
        freshNegative_ = oldNegative;
        caretPos_ = oldCaret;
        beep();
        return;
    }
    fresh_ = false;
    freshNegative_ = false;
    showOperand(r);
}

void TNewNumEdit::typeMinus() {
    if (!canNegative_) {
        beep();
        return;
    }
    if (fresh_) {
        // The sign of the operand about to be typed.
        freshNegative_ = !freshNegative_;
        caretPos_ = freshNegative_ ? 1 : 0;
        render();
        return;
    }
    // The most negative value has no positive twin: refuse like a digit
    // that would not fit. So is a sign that puts the result past the limit.
    Currency res;
    const Currency r = Currency::fromRaw(value_.raw == MinRaw ? 0 : -value_.raw);
    if (value_.raw == MinRaw ||
        (!terms_.empty() && (!evaluate(r, false, res) || !withinLimit(res)))) {
        beep();
        return;
    }
    // Keep the distance from the right end as the sign comes or goes; on
    // zero no sign shows, but the caret still steps left.
    caretPos_ += value_.raw <= 0 ? -1 : 1;
    showOperand(r);
}

void TNewNumEdit::typeOperator(char op) {
    if (fresh_) {
        // Nothing typed since the last operator: this one replaces it.
        terms_.back().op = op;
        render();
        return;
    }
    // The operand stays, selected or not: "+" after an amount adds to it.
    terms_.push_back({value_, op});
    fresh_ = true;
    freshNegative_ = false;
    showOperand(Currency{});
}

// Backspace at the start of the last operand when it holds nothing: the
// operator goes, and the operand before it is edited again.
bool TNewNumEdit::takeBackOperator() {
    if (terms_.empty() || (!fresh_ && value_.raw != 0)) return false;
    if (fresh_ && freshNegative_) {
        freshNegative_ = false;
        caretPos_ = 0;
        render();
        return true;
    }
    const Currency last = terms_.back().value;
    terms_.pop_back();
    fresh_ = false;
    caretPos_ = static_cast<int>(workingText(last).size());
    showOperand(last);
    return true;
}

void TNewNumEdit::typeChar(QChar ch) {
    if (ch >= QLatin1Char('0') && ch <= QLatin1Char('9'))
        typeDigit(ch.unicode() - '0');
    else if (ch == QLatin1Char('-'))
        typeMinus();
    else if (ch == QLatin1Char('+') || ch == QLatin1Char('*'))
        typeOperator(static_cast<char>(ch.unicode()));
    else if (ch == QLatin1Char('='))
        foldExpression();
    else if (ch == QLatin1Char('.') && decimal_) {
        // A fresh operand shows its zero and decimals to type into.
        if (fresh_) {
            fresh_ = false;
            freshNegative_ = false;
            caretPos_ = 0;
            showOperand(Currency{});
        }
        setCursorPosition(std::max(0, static_cast<int>(text().size()) - maxDecimal_));
    }
}

void TNewNumEdit::deleteKey(EditKind kind) {
    if (isReadOnly()) return;
    if (hasSelectedText()) {
        // A selection reaching into the earlier operands clears them too.
        if (selectionStart() < prefix_.size()) clearExpression();
        freshNegative_ = false;
        caretPos_ = 0;
        showOperand(Currency{});
        return;
    }
    if (kind == EditKind::DeleteBefore && (fresh_ || boxToWorking(boxCaret()) <= 0) &&
        takeBackOperator())
        return;
    if (fresh_) return;
    showOperand(EditAtCaret(kind, 0, value_));
}

void TNewNumEdit::enterKey() {
    foldExpression();
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

void TNewNumEdit::focusOutEvent(QFocusEvent* e) {
    QLineEdit::focusOutEvent(e);
    // Leaving the box shows the result it holds; a menu or another window
    // taking the focus for a while does not.
    if (e->reason() != Qt::PopupFocusReason && e->reason() != Qt::ActiveWindowFocusReason)
        foldExpression();
}

void TNewNumEdit::mousePressEvent(QMouseEvent* e) {
    QLineEdit::mousePressEvent(e);
    // A read-only display that is no tab stop hands the focus on.
    if (isReadOnly() && !TabStop()) focusNext();
}
