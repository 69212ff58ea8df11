#include "controls/NewNumEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace {

constexpr std::int64_t Scale = Currency::Scale;

Currency units(double v) {
    return Currency::fromDouble(v);
}

// A window with the control and a plain edit after it in tab order.
struct Form {
    QWidget top;
    TNewNumEdit* edit;
    QLineEdit* next;

    Form() {
        auto* layout = new QVBoxLayout(&top);
        edit = new TNewNumEdit(&top);
        next = new QLineEdit(&top);
        layout->addWidget(edit);
        layout->addWidget(next);
        top.show();
    }
    // Focus only reaches widgets of the active window.
    bool activate() {
        top.activateWindow();
        return QTest::qWaitForWindowActive(&top);
    }
};

// The amount entry dialog's settings, in the order a stored form applies them.
void dialogSettings(TNewNumEdit& e, QChar lead = QLatin1Char(' ')) {
    e.setReturnNext(false);
    e.setCanNegative(true);
    e.setLeadingChar(lead);
    e.setDecimal(false);
    e.setMaxDegits(8);
    e.setConmaDisplay(true);
    e.setValue(Currency{});
    e.setMaxDecimal(0);
    e.setZeroDisplay(true);
}

void decimalSettings(TNewNumEdit& e, int maxDegits, int maxDecimal) {
    e.setReturnNext(false);
    e.setDecimal(true);
    e.setMaxDegits(maxDegits);
    e.setConmaDisplay(true);
    e.setMaxDecimal(maxDecimal);
    e.setZeroDisplay(true);
}

// The keypad's key for a digit, "+", "*" or "-".
Qt::Key keypadKey(char c) {
    switch (c) {
    case '+':
        return Qt::Key_Plus;
    case '*':
        return Qt::Key_Asterisk;
    case '-':
        return Qt::Key_Minus;
    default:
        return static_cast<Qt::Key>(Qt::Key_0 + (c - '0'));
    }
}

// One keystroke per character: B Backspace, D Delete, N Insert, L/R arrows,
// H Home, E End, S Shift+Left, A Ctrl+A, K Enter, # the keypad's key for the
// next character; anything else is typed.
void press(QWidget* w, const std::string& keys) {
    bool keypad = false;
    for (char c : keys) {
        if (keypad) {
            QTest::keyClick(w, keypadKey(c), Qt::KeypadModifier);
            keypad = false;
            continue;
        }
        switch (c) {
        case '#':
            keypad = true;
            break;
        case 'B':
            QTest::keyClick(w, Qt::Key_Backspace);
            break;
        case 'D':
            QTest::keyClick(w, Qt::Key_Delete);
            break;
        case 'N':
            QTest::keyClick(w, Qt::Key_Insert);
            break;
        case 'L':
            QTest::keyClick(w, Qt::Key_Left);
            break;
        case 'R':
            QTest::keyClick(w, Qt::Key_Right);
            break;
        case 'H':
            QTest::keyClick(w, Qt::Key_Home);
            break;
        case 'E':
            QTest::keyClick(w, Qt::Key_End);
            break;
        case 'S':
            QTest::keyClick(w, Qt::Key_Left, Qt::ShiftModifier);
            break;
        case 'A':
            QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
            break;
        case 'K':
            QTest::keyClick(w, Qt::Key_Return);
            break;
        default:
            QTest::keyClick(w, c);
            break;
        }
    }
}

struct EditCase {
    const char* name;
    double start;
    int caret; // box position before the keys; -1 selects all with Ctrl+A
    const char* keys;
    const char* text;
    int caretAfter;
    double value;
    int beeps;
};

std::string caseName(const char* name) {
    return name;
}
void PrintTo(const EditCase& c, std::ostream* os) {
    *os << c.name;
}

// Runs a case and checks text, caret, value and beeps. With a leading
// character the box holds one more character after the sign; the editing
// must behave as without it.
void runCase(TNewNumEdit& e, const EditCase& c, QChar lead) {
    const bool shown = lead.unicode() > 32;
    auto boxText = [&](QString t) {
        if (shown) t.insert(t.startsWith('-') ? 1 : 0, lead);
        return t;
    };
    auto boxCaret = [&](int caret, bool negative) {
        return shown && caret >= (negative ? 1 : 0) ? caret + 1 : caret;
    };

    e.setValue(units(c.start));
    QSignalSpy beeps(&e, &TNewNumEdit::beeped);
    if (c.caret < 0)
        press(&e, "A");
    else
        e.setCursorPosition(boxCaret(c.caret, c.start < 0));
    press(&e, c.keys);

    EXPECT_EQ(e.text(), boxText(QString::fromUtf8(c.text)));
    EXPECT_EQ(e.cursorPosition(), boxCaret(c.caretAfter, c.text[0] == '-'));
    EXPECT_FALSE(e.hasSelectedText());
    EXPECT_EQ(e.Value(), units(c.value));
    EXPECT_EQ(beeps.count(), c.beeps);
}

// The dialog's settings: MaxDegits 8, commas, zero shown, sign allowed.
const EditCase DialogCases[] = {
    {"EightDigitsOverSelectedZero", 0, -1, "51234567", "51,234,567", 10, 51234567, 0},
    {"NinthDigitAtEndBeeps", 51234567, 10, "1", "51,234,567", 10, 51234567, 1},
    {"NinthDigitAtStartBeeps", 51234567, 0, "1", "51,234,567", 0, 51234567, 1},
    {"NinthDigitInsideBeeps", 51234567, 4, "9", "51,234,567", 4, 51234567, 1},
    {"CommaAppearsBeforeCaretAtEnd", 999, 3, "9", "9,999", 5, 9999, 0},
    {"CommaAppearsAfterInsertAtStart", 234, 0, "1", "1,234", 2, 1234, 0},
    {"DeleteAfterCommaDropsIt", 1234, 2, "D", "134", 0, 134, 0},
    {"BackspaceDropsComma", 1234, 3, "B", "134", 1, 134, 0},
    {"DeleteOnCommaRefused", 1234, 1, "D", "1,234", 1, 1234, 0},
    {"BackspaceOnCommaRefused", 1234, 2, "B", "1,234", 2, 1234, 0},
    {"BackspaceAtStartDoesNothing", 1234, 0, "B", "1,234", 0, 1234, 0},
    {"DeleteAtEndKeepsCaret", 1234, 5, "DD", "1,234", 5, 1234, 0},
    {"ArrowsMoveTheCaretForTheNextEdit", 1234, 5, "LLB", "134", 1, 134, 0},
    {"OverwriteOntoCommaRefused", 1234, 1, "N7", "1,234", 1, 1234, 0},
    {"OverwriteAtStart", 1234, 0, "N7", "7,234", 1, 7234, 0},
    {"OverwriteAfterComma", 1234, 0, "N7R8", "7,834", 3, 7834, 0},
    {"OverwriteAtEndDoesNothing", 1234, 5, "N7", "1,234", 5, 1234, 0},
    {"SecondInsertRestoresInserting", 1234, 0, "NN7", "71,234", 1, 71234, 0},
    {"MinusAtEnd", 0, 0, "1234-", "-1,234", 6, -1234, 0},
    {"MinusTwiceRestoresSign", 0, 0, "1234--", "1,234", 5, 1234, 0},
    {"MinusStartsFromTheLastEdit", 0, 0, "1234H-", "-1,234", 6, -1234, 0},
    {"MinusAfterRefusedDigit", 0, -1, "12345678H9-", "-12,345,678", 11, -12345678, 1},
    {"DigitKeepsTheSign", -123, 4, "4", "-1,234", 6, -1234, 0},
    {"BackspaceAfterMinusKeepsValue", -123, 1, "B", "-123", 0, -123, 0},
    {"DeleteOnMinusKeepsValue", -123, 0, "D", "-123", 0, -123, 0},
    {"ZeroTypedOverZero", 0, -1, "0", "0", 1, 0, 0},
    {"MinusOnZeroStepsLeft", 0, -1, "0-", "0", 0, 0, 0},
    {"ZeroReplacedNotPrefixed", 0, 0, "5", "5", 1, 5, 0},
    {"DigitAfterZero", 0, 1, "5", "5", 1, 5, 0},
    {"SelectionThenBackspace", 1234, -1, "B", "0", 0, 0, 0},
    {"PartialSelectionThenDelete", 1234, 5, "SSD", "0", 0, 0, 0},
    {"SelectionThenDigit", -1234, -1, "7", "7", 1, 7, 0},
    {"LettersPointAndSpaceIgnored", 1234, 2, "x. ", "1,234", 2, 1234, 0},
    {"AssignedBeyondLimitRefusesDigits", 123456789, 11, "1", "123,456,789", 11, 123456789, 1},
    {"AssignedBeyondLimitBackspace", 123456789, 11, "B", "12,345,678", 10, 12345678, 0},
};

class NewNumEditDialog : public testing::TestWithParam<std::tuple<EditCase, char>> {};

TEST_P(NewNumEditDialog, Keys) {
    const auto& [c, lead] = GetParam();
    Form f;
    dialogSettings(*f.edit, QLatin1Char(lead));
    runCase(*f.edit, c, QLatin1Char(lead));
}

INSTANTIATE_TEST_SUITE_P(Table, NewNumEditDialog,
                         testing::Combine(testing::ValuesIn(DialogCases),
                                          testing::Values(' ', '*')),
                         [](const auto& info) {
                             return caseName(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == ' ' ? "" : "_Leading");
                         });

// Decimal on, MaxDegits 6, MaxDecimal 2: four integer digits.
const EditCase DecimalCases[] = {
    {"DigitsOverSelectedZero", 0, -1, "12", "12.00", 2, 12, 0},
    {"PointJumpsAfterThePoint", 0, -1, "12.", "12.00", 3, 12, 0},
    {"DecimalTypedOver", 0, -1, "12.5", "12.50", 4, 12.5, 0},
    {"FirstDecimalPlaceTypedOver", 12.34, 3, "5", "12.54", 4, 12.54, 0},
    {"BackspaceZeroesADecimal", 0, -1, "12.5B", "12.00", 4, 12, 0},
    {"SecondDecimal", 0, -1, "12.56", "12.56", 5, 12.56, 0},
    {"PastTheLastDecimalNothing", 12.56, 5, "7", "12.56", 5, 12.56, 0},
    {"DeleteZeroesADecimal", 12.56, 3, "D", "12.06", 3, 12.06, 0},
    {"DeleteAtEndNothing", 12.56, 5, "D", "12.56", 5, 12.56, 0},
    {"BackspaceAfterPointRefused", 12.5, 3, "B", "12.50", 3, 12.5, 0},
    {"DeleteBeforePointRefused", 12.5, 2, "D", "12.50", 2, 12.5, 0},
    {"PointFromTheEnd", 12.5, 5, ".", "12.50", 3, 12.5, 0},
    {"FifthIntegerDigitAtStartBeeps", 1234.5, 0, "1", "1,234.50", 0, 1234.5, 1},
    {"FifthIntegerDigitBeforePointBeeps", 1234.5, 5, "1", "1,234.50", 5, 1234.5, 1},
    {"FourthIntegerDigitMakesComma", 123.45, 0, "4", "4,123.45", 2, 4123.45, 0},
    {"OverwriteIntegerDigit", 123.45, 0, "N9", "923.45", 1, 923.45, 0},
    {"OverwriteOntoPointRefused", 123.45, 3, "N9", "123.45", 3, 123.45, 0},
    {"MinusKeepsDecimals", 0, -1, "12.5-", "-12.50", 5, -12.5, 0},
    {"SelectionThenDelete", 1234.5, -1, "D", "0.00", 0, 0, 0},
    {"BackspaceIntegerDropsComma", 1234.5, 5, "B", "123.50", 3, 123.5, 0},
};

class NewNumEditDecimal : public testing::TestWithParam<std::tuple<EditCase, char>> {};

TEST_P(NewNumEditDecimal, Keys) {
    const auto& [c, lead] = GetParam();
    Form f;
    f.edit->setLeadingChar(QLatin1Char(lead));
    decimalSettings(*f.edit, 6, 2);
    runCase(*f.edit, c, QLatin1Char(lead));
}

INSTANTIATE_TEST_SUITE_P(Table, NewNumEditDecimal,
                         testing::Combine(testing::ValuesIn(DecimalCases),
                                          testing::Values(' ', '*')),
                         [](const auto& info) {
                             return caseName(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == ' ' ? "" : "_Leading");
                         });

// Sums and products typed into the box: what it shows, where the caret is,
// the result in Value and the beeps. places -1: the dialog's settings with
// MaxDegits digits; otherwise Decimal with that many places.
TEST(NewNumEditExpression, Table) {
    const struct {
        const char* name;
        int places;
        int digits;
        double start;
        const char* keys; // see press
        const char* text;
        int caret;
        double value;
        int beeps;
    } cases[] = {
        {"sum", -1, 8, 0, "A398+1280", "398 + 1,280", 11, 1678, 0},
        {"product", -1, 8, 0, "A3*298", "3 × 298", 7, 894, 0},
        {"products before sums", -1, 8, 0, "A100+3*298+6", "100 + 3 × 298 + 6", 17, 1000, 0},
        {"plus after the selected amount", -1, 8, 1234, "A+500", "1,234 + 500", 11, 1734, 0},
        {"nothing typed after the operator", -1, 8, 0, "A398+", "398 + ", 6, 398, 0},
        {"second operator replaces the first", -1, 8, 0, "A3+*298", "3 × 298", 7, 894, 0},
        {"plus then backspace", -1, 8, 0, "A398+B", "398", 3, 398, 0},
        {"emptied operand, then its operator", -1, 8, 0, "A398+5BB", "398", 3, 398, 0},
        {"emptied operand shows zero", -1, 8, 0, "A398+5B", "398 + 0", 6, 398, 0},
        {"backspace before a digit keeps it", -1, 8, 0, "A398+12LLB", "398 + 12", 6, 410, 0},
        {"caret among the operands before", -1, 8, 0, "A398+12H5", "398 + 512", 7, 910, 0},
        {"operand at the limit", -1, 8, 0, "A5*12345678", "5 × 12,345,678", 14, 61728390, 0},
        {"ninth digit of an operand", -1, 8, 0, "A1+123456789", "1 + 12,345,678", 14, 12345679, 1},
        {"sum past the limit", -1, 8, 0, "A50000000+50000000", "50,000,000 + 5,000,000", 22,
         55000000, 1},
        {"product past the limit", -1, 8, 0, "A12345*10000", "12,345 × 1,000", 14, 12345000, 1},
        {"minus signs the last operand", -1, 8, 0, "A398+1280-", "398 + -1,280", 12, -882, 0},
        {"minus signs the first operand", -1, 8, 0, "A398-+2", "-398 + 2", 8, -396, 0},
        {"minus before the digits", -1, 8, 0, "A398+-5", "398 + -5", 8, 393, 0},
        {"minus waits for the digits", -1, 8, 0, "A398+-", "398 + -", 7, 398, 0},
        {"minus twice before the digits", -1, 8, 0, "A398+--5", "398 + 5", 7, 403, 0},
        {"backspace takes the minus back", -1, 8, 0, "A398+-B5", "398 + 5", 7, 403, 0},
        {"minus past the limit", -1, 8, 0, "A60000000+-50000000-", "60,000,000 + -50,000,000", 24,
         10000000, 1},
        // A product beyond the range of Currency, whose cut-off bits would
        // look like an amount within the limit.
        {"product past the range", -1, 14, 0, "A99999999999872-+190*10000000000000",
         "-99,999,999,999,872 + 190 × 1,000,000,000,000", 45, 90000000000128, 1},
        {"equals shows the result", -1, 8, 0, "A398+1280=", "1,678", 5, 1678, 0},
        {"enter shows the result", -1, 8, 0, "A3*298K", "894", 3, 894, 0},
        {"select all and type starts anew", -1, 8, 0, "A398+1280A7", "7", 1, 7, 0},
        {"select all and backspace", -1, 8, 0, "A398+1280AB", "0", 0, 0, 0},
        {"keypad", -1, 8, 0, "A#3#*#2#9#8#+#6", "3 × 298 + 6", 11, 900, 0},
        {"keypad minus", -1, 8, 0, "A#5#+#7#-", "5 + -7", 6, -2, 0},
        {"decimal product", 2, 8, 0, "A1.5*1.5", "1.50 × 1.50", 10, 2.25, 0},
        {"product rounds, tie to even", 4, 8, 0, "A.0003*.5", "0.0003 × 0.5000", 12, 0.0002, 0},
        {"product rounds, tie down to even", 4, 8, 0, "A.0001*.5", "0.0001 × 0.5000", 12, 0, 0},
        {"negative product rounds", 4, 8, 0, "A.0001*.6-", "0.0001 × -0.6000", 13, -0.0001, 0},
        {"point after the operator", 2, 8, 3, "A*.", "3.00 × 0.00", 9, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Form f;
        if (c.places < 0) {
            dialogSettings(*f.edit);
            f.edit->setMaxDegits(c.digits);
        } else {
            decimalSettings(*f.edit, c.digits, c.places);
        }
        f.edit->setValue(units(c.start));
        QSignalSpy beeps(f.edit, &TNewNumEdit::beeped);
        press(f.edit, c.keys);
        EXPECT_EQ(f.edit->text(), QString::fromUtf8(c.text));
        EXPECT_EQ(f.edit->cursorPosition(), c.caret);
        EXPECT_EQ(f.edit->Value(), units(c.value));
        EXPECT_EQ(beeps.count(), c.beeps);
    }
}

// Six places on a type with four: the fifth rounds (ties to even), the sixth
// is lost. Two integer digits with MaxDegits 8.
TEST(NewNumEditDecimalSix, PlacesBeyondFourRoundAway) {
    const struct {
        const char* keys;
        const char* text;
        std::int64_t raw;
        int beeps;
    } cases[] = {
        {".1234", "0.123400", 1234, 0},   {".123456", "0.123400", 1234, 0},
        {".12345", "0.123400", 1234, 0}, // 1234.5 ten-thousandths: tie, to even
        {".12355", "0.123600", 1236, 0}, // 1235.5: tie, to even upward
        {".12346", "0.123500", 1235, 0},  {"99", "99.000000", 990000, 0},
        {"99H1", "99.000000", 990000, 1},
    };
    for (const auto& c : cases) {
        Form f;
        decimalSettings(*f.edit, 8, 6);
        ASSERT_EQ(f.edit->ValueLimit(), Currency::fromRaw(100 * Scale));
        f.edit->setValue(Currency{});
        QSignalSpy beeps(f.edit, &TNewNumEdit::beeped);
        press(f.edit, std::string("A") + c.keys);
        EXPECT_EQ(f.edit->text(), c.text) << c.keys;
        EXPECT_EQ(f.edit->Value().raw, c.raw) << c.keys;
        EXPECT_EQ(beeps.count(), c.beeps) << c.keys;
    }
}

TEST(NewNumEditDecimalZero, OnlyZeroFitsUnderLimitOne) {
    Form f;
    f.edit->setDecimal(true);
    f.edit->setZeroDisplay(true);
    EXPECT_EQ(f.edit->ValueLimit(), Currency::fromUnits(1));
    EXPECT_EQ(f.edit->text(), "0.");
    f.edit->setValue(Currency{});
    EXPECT_EQ(f.edit->text(), "0");
    for (char d = '1'; d <= '9'; ++d) {
        QSignalSpy beeps(f.edit, &TNewNumEdit::beeped);
        press(f.edit, std::string("H") + d);
        EXPECT_EQ(beeps.count(), 1) << d;
        EXPECT_EQ(f.edit->text(), "0");
    }
    QSignalSpy beeps(f.edit, &TNewNumEdit::beeped);
    press(f.edit, "H0");
    EXPECT_EQ(beeps.count(), 0);
    EXPECT_EQ(f.edit->Value(), Currency{});
}

TEST(NewNumEditRender, AssignedValues) {
    const struct {
        bool decimal;
        int maxDecimal;
        bool conma;
        bool zero;
        char lead;
        std::int64_t raw;
        const char* text;
    } cases[] = {
        {false, 0, true, true, ' ', 1234567 * Scale, "1,234,567"},
        {false, 0, false, true, ' ', 1234567 * Scale, "1234567"},
        {true, 2, true, true, ' ', 1234567 * Scale, "1,234,567.00"},
        {true, 2, false, true, ' ', 1234567 * Scale, "1234567.00"},
        {true, 2, true, true, ' ', 12345000, "1,234.50"},
        {true, 2, true, true, ' ', 0, "0.00"},
        {false, 0, true, true, ' ', 0, "0"},
        {false, 0, true, false, ' ', 0, ""},
        {false, 0, true, true, ' ', -1234 * Scale, "-1,234"},
        {false, 0, false, true, ' ', -1234 * Scale, "-1234"},
        {false, 0, true, true, '*', 1234 * Scale, "*1,234"},
        {false, 0, true, true, '*', -1234 * Scale, "-*1,234"},
        {false, 0, true, true, ' ', 123456789 * Scale, "123,456,789"},
        // A fraction: the grouped display rounds, the plain one truncates.
        {false, 0, true, true, ' ', 15000, "2"},
        {false, 0, true, true, ' ', -15000, "-2"},
        {false, 0, false, true, ' ', 19999, "1"},
        {true, 0, true, true, ' ', 15000, "2"},
        {true, 1, true, true, ' ', 12345, "1.2"},
        {true, 3, true, true, ' ', 12345, "1.235"},
        {false, 0, false, true, ' ', 99999999999999 * Scale, "99999999999999"},
        // The extremes of the type render without overflowing.
        {false, 0, true, true, ' ', std::numeric_limits<std::int64_t>::min(),
         "-922,337,203,685,478"},
        {true, 4, false, true, ' ', std::numeric_limits<std::int64_t>::min(),
         "-922337203685477.5808"},
        {true, 4, true, true, ' ', std::numeric_limits<std::int64_t>::max(),
         "922,337,203,685,477.5807"},
    };
    for (const auto& c : cases) {
        TNewNumEdit e;
        e.setLeadingChar(QLatin1Char(c.lead));
        e.setDecimal(c.decimal);
        e.setMaxDegits(c.decimal ? 14 + c.maxDecimal : 8);
        e.setMaxDecimal(c.maxDecimal);
        e.setConmaDisplay(c.conma);
        if (!c.decimal) e.setZeroDisplay(c.zero);
        e.setValue(Currency::fromRaw(c.raw));
        EXPECT_EQ(e.text(), c.text) << c.raw;
        EXPECT_EQ(e.Value().raw, c.raw);
    }
}

TEST(NewNumEditRender, ConmaDisplayWaitsForTheNextRendering) {
    Form f;
    dialogSettings(*f.edit);
    f.edit->setValue(Currency::fromUnits(1234));
    f.edit->setConmaDisplay(false);
    EXPECT_EQ(f.edit->text(), "1,234");
    press(f.edit, "E5");
    EXPECT_EQ(f.edit->text(), "12345");
}

TEST(NewNumEditRender, DecimalSwitchClearsValueButNotText) {
    for (bool on : {true, false}) {
        TNewNumEdit e;
        e.setDecimal(!on);
        e.setValue(Currency::fromUnits(42));
        const QString before = e.text();
        e.setDecimal(on);
        EXPECT_EQ(e.Value(), Currency{}) << on;
        EXPECT_EQ(e.text(), before) << on;
        EXPECT_TRUE(e.ZeroDisplay()) << on; // forced on by Decimal, kept after it
        // The next rendering shows the cleared value.
        e.setValue(e.Value());
        EXPECT_EQ(e.text(), "0") << on;
    }
    // A sum being typed goes with the value.
    Form f;
    dialogSettings(*f.edit);
    press(f.edit, "A398+1280");
    f.edit->setDecimal(false);
    EXPECT_EQ(f.edit->Value(), Currency{});
    press(f.edit, "E5");
    EXPECT_EQ(f.edit->text(), "5");
}

TEST(NewNumEditRender, NegativeAssignedWhileCanNegativeOff) {
    Form f;
    dialogSettings(*f.edit);
    f.edit->setCanNegative(false);
    f.edit->setValue(Currency::fromUnits(-5));
    EXPECT_EQ(f.edit->text(), "-5");
    QSignalSpy beeps(f.edit, &TNewNumEdit::beeped);
    press(f.edit, "-");
    EXPECT_EQ(beeps.count(), 1);
    EXPECT_EQ(f.edit->text(), "-5");
    EXPECT_EQ(f.edit->Value(), Currency::fromUnits(-5));
}

TEST(NewNumEditRender, MinusOnTheMostNegativeValueIsRefused) {
    Form f;
    dialogSettings(*f.edit);
    const Currency most = Currency::fromRaw(std::numeric_limits<std::int64_t>::min());
    f.edit->setValue(most);
    QSignalSpy beeps(f.edit, &TNewNumEdit::beeped);
    press(f.edit, "-H1");
    EXPECT_EQ(beeps.count(), 2); // "-" and the digit
    EXPECT_EQ(f.edit->Value(), most);
    press(f.edit, "EB");
    EXPECT_EQ(f.edit->text(), "-92,233,720,368,547");
    EXPECT_EQ(f.edit->Value().raw, -92233720368547 * Scale);
}

TEST(NewNumEditProperties, Defaults) {
    TNewNumEdit e;
    EXPECT_TRUE(e.ReturnNext());
    EXPECT_TRUE(e.CanNegative());
    EXPECT_FALSE(e.Decimal());
    EXPECT_EQ(e.MaxDegits(), 8);
    EXPECT_EQ(e.MaxDecimal(), 0);
    EXPECT_FALSE(e.ZeroDisplay());
    EXPECT_TRUE(e.ConmaDisplay());
    EXPECT_TRUE(e.InsertMode());
    EXPECT_EQ(e.ValueLimit(), Currency::fromUnits(100000000));
    EXPECT_EQ(e.CaretPos(), 0);
    EXPECT_EQ(e.text(), "");
    EXPECT_TRUE(e.alignment() & Qt::AlignRight);
}

TEST(NewNumEditProperties, SettersRefuseBadValues) {
    enum Setter { Degits, Decimals, DecimalOn, DecimalOff };
    const struct {
        const char* name;
        bool decimal62; // start from Decimal on, MaxDegits 6, MaxDecimal 2
        Setter setter;
        int arg;
        int maxDegits;
        int maxDecimal;
        std::int64_t limitUnits;
    } cases[] = {
        {"MaxDegits 0", false, Degits, 0, 8, 0, 100000000},
        {"MaxDegits 15", false, Degits, 15, 8, 0, 100000000},
        {"MaxDegits 1", false, Degits, 1, 1, 0, 10},
        {"MaxDegits 14", false, Degits, 14, 14, 0, 100000000000000},
        {"MaxDecimal without Decimal", false, Decimals, 2, 8, 0, 100000000},
        {"Decimal on, MaxDecimal 0", false, DecimalOn, 0, 8, 0, 1},
        {"Decimal 6/2", true, Degits, 6, 6, 2, 10000},
        {"MaxDecimal = MaxDegits", true, Decimals, 6, 6, 2, 10000},
        {"MaxDecimal negative", true, Decimals, -1, 6, 2, 10000},
        {"MaxDecimal re-checks MaxDegits", true, Decimals, 5, 6, 5, 10},
        {"15 integer digits", true, Degits, 17, 6, 2, 10000},
        {"14 integer digits", true, Degits, 16, 16, 2, 100000000000000},
        {"no integer digit", true, Degits, 2, 6, 2, 10000},
        {"Decimal off again", true, DecimalOff, 0, 6, 2, 10000},
    };
    for (const auto& c : cases) {
        TNewNumEdit e;
        if (c.decimal62) {
            e.setDecimal(true);
            e.setMaxDegits(6);
            e.setMaxDecimal(2);
        }
        switch (c.setter) {
        case Degits:
            e.setMaxDegits(c.arg);
            break;
        case Decimals:
            e.setMaxDecimal(c.arg);
            break;
        case DecimalOn:
            e.setDecimal(true);
            break;
        case DecimalOff:
            e.setDecimal(false);
            break;
        }
        EXPECT_EQ(e.MaxDegits(), c.maxDegits) << c.name;
        EXPECT_EQ(e.MaxDecimal(), c.maxDecimal) << c.name;
        EXPECT_EQ(e.ValueLimit(), Currency::fromUnits(c.limitUnits)) << c.name;
    }
    // With Decimal on and MaxDecimal 0, MaxDegits is taken unchecked.
    TNewNumEdit e;
    e.setDecimal(true);
    e.setMaxDegits(20);
    EXPECT_EQ(e.MaxDegits(), 20);
    EXPECT_EQ(e.ValueLimit(), Currency::fromUnits(1));
}

TEST(NewNumEditProperties, ZeroDisplayForcedOnWithDecimal) {
    TNewNumEdit e;
    e.setDecimal(true);
    e.setMaxDegits(6);
    e.setMaxDecimal(2);
    e.setValue(Currency::fromUnits(7));
    e.setZeroDisplay(false);
    EXPECT_TRUE(e.ZeroDisplay());
    EXPECT_EQ(e.text(), "0.00");
    EXPECT_EQ(e.Value(), Currency::fromUnits(7));

    TNewNumEdit plain;
    plain.setZeroDisplay(true);
    plain.setZeroDisplay(false);
    EXPECT_FALSE(plain.ZeroDisplay());
    plain.setValue(Currency{});
    EXPECT_EQ(plain.text(), "");
    QTest::keyClick(&plain, '5');
    EXPECT_EQ(plain.text(), "5");
}

TEST(NewNumEditConvert, ParseNumber) {
    const struct {
        const char* text;
        std::int64_t raw;
    } cases[] = {
        {"", 0},
        {" -,", 0},
        {"1,234", 1234 * Scale},
        {"-1,234.5", 12345000},
        {".5", 5000},
        {"0.00005", 0},     // tie, to even (down)
        {"0.00015", 2},     // tie, to even (up)
        {"0.000050001", 1}, // above the tie
        {"0.000051", 1},
        {"0.00004999", 0},        // below it
        {"999999999999999999999", // saturates
         std::numeric_limits<std::int64_t>::max()},
        {"922337203685477.58079", std::numeric_limits<std::int64_t>::max()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TNewNumEdit::ParseNumber(QString::fromUtf8(c.text)).raw, c.raw) << c.text;
    for (const char* bad : {"1a", ".", "1.2.3", "*5"})
        EXPECT_THROW(TNewNumEdit::ParseNumber(QString::fromUtf8(bad)), NumEditError) << bad;
    EXPECT_EQ(TNewNumEdit::CountCommas(QStringLiteral("1,234,567.00")), 2);
}

TEST(NewNumEditConvert, CurrencyFromDoubleTiesToEven) {
    EXPECT_EQ(Currency::fromDouble(0.03125).raw, 312); // 312.5 exactly
    EXPECT_EQ(Currency::fromDouble(0.09375).raw, 938); // 937.5 exactly
    EXPECT_EQ(Currency::fromDouble(-0.03125).raw, -312);
    EXPECT_EQ(Currency::fromDouble(-1234.56).raw, -12345600);
    EXPECT_EQ(Currency::fromDouble(-1234.56).truncUnits(), -1234);
    EXPECT_THROW(Currency::fromDouble(1e300), NumEditError);
    EXPECT_THROW(Currency::fromUnits(std::numeric_limits<std::int64_t>::max()), NumEditError);
}

TEST(NewNumEditEvents, EnterWithReturnNextMovesFocusAfterOninput) {
    Form f;
    dialogSettings(*f.edit);
    f.edit->setReturnNext(true);
    ASSERT_TRUE(f.activate());
    f.edit->setFocus();
    ASSERT_TRUE(f.edit->hasFocus());
    QObject* sender = nullptr;
    bool hadFocus = false;
    f.edit->setOninput([&](QObject* s) {
        sender = s;
        hadFocus = f.edit->hasFocus();
    });
    press(f.edit, "12K");
    EXPECT_EQ(sender, f.edit);
    EXPECT_TRUE(hadFocus);
    EXPECT_TRUE(f.next->hasFocus());
    EXPECT_EQ(f.edit->text(), "12");
}

TEST(NewNumEditEvents, EnterWithoutReturnNextDoesNothingInADialog) {
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    auto* edit = new TNewNumEdit(&dialog);
    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    layout->addWidget(edit);
    layout->addWidget(ok);
    dialogSettings(*edit);
    edit->setValue(Currency::fromUnits(12));
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    edit->setFocus();
    QSignalSpy clicked(ok, &QPushButton::clicked);
    press(edit, "EK");
    EXPECT_EQ(clicked.count(), 0);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(edit->text(), "12");
    EXPECT_EQ(edit->Value(), Currency::fromUnits(12));
}

TEST(NewNumEditEvents, ReadOnlyRefusesEditsSilentlyButEnterWorks) {
    Form f;
    dialogSettings(*f.edit);
    f.edit->setValue(Currency::fromUnits(1234));
    f.edit->setReadOnly(true);
    f.edit->setCursorPosition(3);
    int inputs = 0;
    f.edit->setOninput([&](QObject*) { ++inputs; });
    QSignalSpy beeps(f.edit, &TNewNumEdit::beeped);
    press(f.edit, "5-.BDAB");
    EXPECT_EQ(f.edit->text(), "1,234");
    EXPECT_EQ(f.edit->Value(), Currency::fromUnits(1234));
    EXPECT_EQ(beeps.count(), 0);
    press(f.edit, "K");
    EXPECT_EQ(inputs, 1);
}

TEST(NewNumEditEvents, ClickOnReadOnlyNonTabStopPassesFocusOn) {
    for (bool tabStop : {false, true}) {
        Form f;
        dialogSettings(*f.edit);
        f.edit->setReadOnly(true);
        f.edit->setTabStop(tabStop);
        ASSERT_TRUE(f.activate());
        f.edit->setFocus();
        ASSERT_TRUE(f.edit->hasFocus());
        QTest::mouseClick(f.edit, Qt::LeftButton);
        EXPECT_EQ(f.next->hasFocus(), !tabStop) << tabStop;
        EXPECT_EQ(f.edit->hasFocus(), tabStop) << tabStop;
    }
}

TEST(NewNumEditEvents, FocusGainSelectsAllWhenAutoSelect) {
    for (bool autoSelect : {true, false}) {
        Form f;
        dialogSettings(*f.edit);
        f.edit->setAutoSelect(autoSelect);
        f.edit->setValue(Currency::fromUnits(1234));
        ASSERT_TRUE(f.activate());
        f.next->setFocus();
        f.edit->setFocus(Qt::OtherFocusReason);
        EXPECT_EQ(f.edit->selectedText(), autoSelect ? "1,234" : "") << autoSelect;
        // The first digit replaces the amount only when all was selected.
        press(f.edit, "5");
        EXPECT_EQ(f.edit->Value(), Currency::fromUnits(autoSelect ? 5 : 51234)) << autoSelect;
    }
}

// What the base edit box changes by itself (paste, cut, a drop) is
// read as a number through the typing limits, or refused with a beep: the
// box always shows Value.
TEST(NewNumEditEvents, BaseEditsAreReadAsNumbers) {
    enum Op { Paste, ShiftInsert, CutAll, Drop };
    const struct {
        const char* name;
        double start;
        const char* before; // keys first (see press)
        Op op;
        const char* clip;
        const char* after; // keys afterwards
        const char* text;
        double value;
        int beeps;
    } cases[] = {
        {"paste over all", 1234, "A", Paste, "1,234,569", "", "1,234,569", 1234569, 0},
        {"paste at the end", 1234, "E", Paste, "5", "", "12,345", 12345, 0},
        {"paste negative", 7, "A", Paste, " -12 ", "", "-12", -12, 0},
        {"paste letters", 1234, "E", Paste, "abc", "", "1,234", 1234, 1},
        {"paste a second minus", 1234, "E", Paste, "-5", "", "1,234", 1234, 1},
        {"paste past the limit", 1234, "A", Paste, "100000000", "", "1,234", 1234, 1},
        {"paste a point", 1234, "A", Paste, "1.5", "", "1,234", 1234, 1},
        {"paste into the last operand", 398, "A+", Paste, "1,280", "", "398 + 1,280", 1678, 0},
        {"paste past the limit into the last operand", 99999999, "A+", Paste, "1", "",
         "99,999,999 + ", 99999999, 1},
        {"paste letters into the last operand", 398, "A+", Paste, "x", "", "398 + ", 398, 1},
        {"paste over the whole sum", 398, "A+5A", Paste, "7", "", "7", 7, 0},
        {"cut all", 1234, "A", CutAll, "", "", "0", 0, 0},
        {"drop", 12, "E", Drop, "9x", "", "12", 12, 1},
        // Shift+Insert pastes and leaves insert mode on: 8 is then added.
        {"shift insert", 12, "E", ShiftInsert, "3", "8", "1,238", 1238, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Form f;
        dialogSettings(*f.edit);
        QSignalSpy beeps(f.edit, &TNewNumEdit::beeped);
        f.edit->setValue(units(c.start));
        press(f.edit, c.before);
        QApplication::clipboard()->setText(QString::fromUtf8(c.clip));
        switch (c.op) {
        case Paste:
            QTest::keyClick(f.edit, Qt::Key_V, Qt::ControlModifier);
            break;
        case ShiftInsert:
            QTest::keyClick(f.edit, Qt::Key_Insert, Qt::ShiftModifier);
            break;
        case CutAll:
            QTest::keyClick(f.edit, Qt::Key_X, Qt::ControlModifier);
            break;
        case Drop: {
            QMimeData data;
            data.setText(QString::fromUtf8(c.clip));
            const QPoint at = f.edit->rect().center();
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(f.edit, &enter);
            QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(f.edit, &drop);
            break;
        }
        }
        press(f.edit, c.after);
        EXPECT_EQ(f.edit->text(), QString::fromUtf8(c.text));
        EXPECT_EQ(f.edit->Value(), units(c.value));
        EXPECT_EQ(beeps.count(), c.beeps);
        EXPECT_EQ(f.edit->InsertMode(), true);
    }
    // A pasted sign obeys CanNegative as the "-" key does.
    Form f;
    dialogSettings(*f.edit);
    f.edit->setCanNegative(false);
    QApplication::clipboard()->setText(QStringLiteral("-5"));
    press(f.edit, "A");
    QTest::keyClick(f.edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(f.edit->text(), "0");
    // Pasted places: no more than MaxDecimal, and none once Decimal is off,
    // whatever MaxDecimal was left at.
    for (bool decimal : {true, false}) {
        for (const char* clip : {"1.234", "1.5"}) {
            Form g;
            decimalSettings(*g.edit, 6, 2);
            g.edit->setDecimal(decimal);
            g.edit->setValue(Currency{});
            QApplication::clipboard()->setText(QString::fromUtf8(clip));
            press(g.edit, "A");
            QTest::keyClick(g.edit, Qt::Key_V, Qt::ControlModifier);
            const bool taken = decimal && std::string(clip) == "1.5";
            EXPECT_EQ(g.edit->Value(), taken ? units(1.5) : Currency{}) << decimal << clip;
        }
    }
}

// The box shows the result once the user moves on; a menu or another window
// taking the focus for a while leaves the sum in view.
TEST(NewNumEditEvents, LeavingTheBoxShowsTheResult) {
    Form f;
    dialogSettings(*f.edit);
    ASSERT_TRUE(f.activate());
    f.edit->setFocus();
    press(f.edit, "A398+1280");
    for (Qt::FocusReason passing : {Qt::PopupFocusReason, Qt::ActiveWindowFocusReason}) {
        QFocusEvent out(QEvent::FocusOut, passing);
        QApplication::sendEvent(f.edit, &out);
        EXPECT_EQ(f.edit->text(), "398 + 1,280") << passing;
    }
    f.next->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(f.edit->text(), "1,678");
    EXPECT_EQ(f.edit->Value(), Currency::fromUnits(1678));
}

TEST(NewNumEditEvents, CopyReachesTheBase) {
    Form f;
    dialogSettings(*f.edit);
    f.edit->setValue(Currency::fromUnits(1234));
    QApplication::clipboard()->clear();
    press(f.edit, "A");
    QTest::keyClick(f.edit, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "1,234");
    EXPECT_EQ(f.edit->text(), "1,234");
}

TEST(NewNumEditEvents, InputMethodCommitIsTyped) {
    Form f;
    dialogSettings(*f.edit);
    f.edit->setValue(Currency::fromUnits(12));
    f.edit->setCursorPosition(2);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("3x4"));
    QApplication::sendEvent(f.edit, &commit);
    EXPECT_EQ(f.edit->text(), "1,234");
    EXPECT_EQ(f.edit->Value(), Currency::fromUnits(1234));
}

} // namespace
