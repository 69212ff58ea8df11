#pragma once
// TNewNumEdit: a right-aligned edit box that holds a number, not text.
// Every keystroke edits the number at the caret (EditAtCaret), the result is
// checked against ValueLimit, and the whole text is rendered again from
// Value, with the caret kept at the same distance from the right end, as on
// a calculator display. The base line edit never inserts text by itself;
// what it changes on its own (paste, cut, undo, a drop) is read back as a
// number or undone, so the box always shows Value.
//
// "+" and "*" start a further operand, as on a calculator: the box shows the
// sum being built ("398 + 1,280", "3 × 298"), the typing edits the last
// operand only, and Value is the result (products before sums). "=", Enter
// and leaving the box put the result in its place.

#include <QLineEdit>
#include <QString>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <vector>

class QFocusEvent;
class QInputMethodEvent;
class QKeyEvent;
class QMouseEvent;

// A conversion that cannot be done: a text that is not a number, a number
// beyond the range of Currency.
class NumEditError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Fixed point with four decimal places, held as a count of ten-thousandths.
struct Currency {
    static constexpr std::int64_t Scale = 10000;

    std::int64_t raw = 0;

    static constexpr Currency fromRaw(std::int64_t r) { return Currency{r}; }
    // Whole units; throws NumEditError beyond the range.
    static Currency fromUnits(std::int64_t units);
    // Rounds to the nearest ten-thousandth, ties to even; throws
    // NumEditError for a value beyond the range or not a number.
    static Currency fromDouble(double v);

    double toDouble() const { return static_cast<double>(raw) / Scale; }
    // Whole units, truncated toward zero.
    std::int64_t truncUnits() const { return raw / Scale; }

    friend constexpr bool operator==(Currency a, Currency b) { return a.raw == b.raw; }
    friend constexpr bool operator!=(Currency a, Currency b) { return a.raw != b.raw; }
    friend constexpr bool operator<(Currency a, Currency b) { return a.raw < b.raw; }
    friend constexpr bool operator<=(Currency a, Currency b) { return a.raw <= b.raw; }
    friend constexpr bool operator>(Currency a, Currency b) { return a.raw > b.raw; }
    friend constexpr bool operator>=(Currency a, Currency b) { return a.raw >= b.raw; }
};

class TNewNumEdit : public QLineEdit {
    Q_OBJECT

public:
    // Called with the control as sender whenever Enter is typed. It runs
    // inside a key event, so it must not throw: wrap it in the window's guard.
    using NotifyEvent = std::function<void(QObject* sender)>;

    enum class EditKind { InsertDigit, DeleteBefore, DeleteAt };

    // Integer digits allowed without Decimal (and with Decimal, once the
    // decimals are taken off).
    static constexpr int MinIntDigits = 1;
    static constexpr int MaxIntDigits = 14;

    explicit TNewNumEdit(QWidget* parent = nullptr);

    bool ReturnNext() const { return returnNext_; }
    void setReturnNext(bool on) { returnNext_ = on; }

    const NotifyEvent& Oninput() const { return oninput_; }
    void setOninput(NotifyEvent handler) { oninput_ = std::move(handler); }

    bool CanNegative() const { return canNegative_; }
    void setCanNegative(bool on) { canNegative_ = on; }

    // Shown between the sign and the digits when its code is above 32.
    QChar LeadingChar() const { return leadingChar_; }
    void setLeadingChar(QChar c) { leadingChar_ = c; }

    // Switching clears Value (the text stays until the next rendering);
    // switching on forces ZeroDisplay on.
    bool Decimal() const { return decimal_; }
    void setDecimal(bool on);

    // Without Decimal: integer digits, 1..14. With Decimal: all digits; the
    // integer digits (MaxDegits - MaxDecimal) must be 1..14 once MaxDecimal
    // is above 0. A refused value is ignored.
    int MaxDegits() const { return maxDegits_; }
    void setMaxDegits(int n);

    // The next rendering uses it; the text is not rebuilt at once.
    bool ConmaDisplay() const { return conmaDisplay_; }
    void setConmaDisplay(bool on) { conmaDisplay_ = on; }

    // The result of what the box shows. Assigning drops any pending
    // operands and renders; there is no limit check on assignment.
    Currency Value() const { return result_; }
    void setValue(Currency v);

    // Changes only while Decimal is on, and must be below MaxDegits; a
    // negative count is refused too.
    int MaxDecimal() const { return maxDecimal_; }
    void setMaxDecimal(int n);

    // With Decimal it is forced on and the box shows "0." and MaxDecimal
    // zeros, whatever Value is.
    bool ZeroDisplay() const { return zeroDisplay_; }
    void setZeroDisplay(bool on);

    // A typed result R is accepted only when -ValueLimit < R < ValueLimit.
    Currency ValueLimit() const { return valueLimit_; }
    // Where the next rendering puts the caret, in working-text positions.
    int CaretPos() const { return caretPos_; }
    bool InsertMode() const { return insertMode_; }

    bool AutoSelect() const { return autoSelect_; }
    void setAutoSelect(bool on) { autoSelect_ = on; }
    // A tab stop takes the focus by Tab and by click; otherwise by click only.
    bool TabStop() const;
    void setTabStop(bool on);
    bool ReadOnly() const { return isReadOnly(); }

    // Digits of |v| as Decimal, MaxDecimal and ConmaDisplay say; never a sign.
    QString FormatNumber(Currency v) const;
    // " ", "," and "-" are dropped; the rest is read as a decimal number.
    // Never negative; a magnitude beyond Currency saturates. Throws
    // NumEditError for any other character.
    static Currency ParseNumber(const QString& w);
    static int CountCommas(const QString& w);

    // The text the editing works on: FormatNumber(|v|), "-" in front when
    // v is below 0.
    QString workingText(Currency v) const;

    // The editing steps. pos is the caret in the working text; each sets
    // CaretPos. EditAtCaret takes the caret from the box, in the operand
    // being edited.
    Currency EditAtCaret(EditKind kind, int digit, Currency v);
    Currency EditAt(EditKind kind, int digit, Currency v, int pos);
    QString InsertDigit(const QString& w0, int pos, int digit, bool* recount);
    QString DeleteBefore(const QString& w0, int pos);
    QString DeleteAt(const QString& w0, int pos);

signals:
    // A refused keystroke: the digit limit, or "-" while CanNegative is off.
    void beeped();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void inputMethodEvent(QInputMethodEvent* e) override;

private:
    // An operand before the one being edited, and the operator after it.
    struct Term {
        Currency value;
        char op; // '+' or '*'
    };

    // The text always comes from Value; callers cannot write it.
    using QLineEdit::setText;

    void typeChar(QChar ch);
    void typeDigit(int digit);
    void typeMinus();
    void typeOperator(char op);
    // Shows the result alone, as "=" does.
    void foldExpression();
    bool takeBackOperator();
    // The result with the operand r; false past the range of Currency.
    bool evaluate(Currency r, bool fresh, Currency& out) const;
    bool withinLimit(Currency r) const;
    // Makes r the operand being edited and renders the whole expression.
    void showOperand(Currency r);
    void render();
    void clearExpression();
    void deleteKey(EditKind kind);
    void enterKey();
    void beep();
    void focusNext();
    void recomputeLimit();
    // Text the base changed by itself becomes Value, or is refused.
    void adoptText(const QString& t);
    bool readText(const QString& t, Currency& r) const;

    // The box may show a leading character that the working text lacks,
    // and the operands before the one being edited.
    bool leadingShown() const;
    int boxToWorking(int boxPos) const;
    int workingToBox(int workPos) const;
    int boxCaret() const;

    bool returnNext_ = true;
    NotifyEvent oninput_;
    bool canNegative_ = true;
    QChar leadingChar_ = QLatin1Char(' ');
    bool decimal_ = false;
    int maxDegits_ = 0;
    int maxDecimal_ = 0;
    bool zeroDisplay_ = false;
    bool conmaDisplay_ = false;
    Currency value_; // the operand being edited
    Currency result_;
    Currency valueLimit_;
    std::vector<Term> terms_;
    // Right after an operator: nothing typed yet, the operand is left out
    // of the result; freshNegative_ is a "-" typed before its digits.
    bool fresh_ = false;
    bool freshNegative_ = false;
    QString prefix_; // the box's text before the operand being edited
    int caretPos_ = 0;
    bool insertMode_ = true;
    bool autoSelect_ = true;
};
