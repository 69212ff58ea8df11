#include "windows/nyukin.h"

#include "controls/NewNumEdit.h"
#include "controls/string_grid.h"
#include "ledger/amount_format.h"
#include "shell/book_document.h"
#include "shell/error_box.h"
#include "shell/theme.h"
#include "shell/window_style.h"
#include "shell/zadud.h"
#include "windows/hikei.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <cstdint>

namespace {

QLabel* label(QWidget* parent, const QString& text, int x, int y) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, 47, 16);
    return l;
}

TNewNumEdit* amountEdit(QWidget* parent, int y) {
    auto* e = new TNewNumEdit(parent);
    e->setGeometry(120, y, 193, 24);
    e->setReturnNext(false);
    e->setCanNegative(true);
    e->setLeadingChar(QLatin1Char(' '));
    e->setDecimal(false);
    e->setMaxDegits(8);
    e->setConmaDisplay(true);
    e->setMaxDecimal(0);
    e->setZeroDisplay(true);
    return e;
}

QPushButton* button(QWidget* parent, const QString& text, int x) {
    auto* b = new QPushButton(text, parent);
    b->setGeometry(x, 100, 75, 25);
    // Enter and Escape have no dialog-wide meaning here.
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

// The control's value as a whole amount; it holds at most eight digits when
// typed, but a value set from a cell is not limited.
int32_t wholeAmount(const TNewNumEdit* edit) {
    const int64_t units = edit->Value().truncUnits();
    if (units < INT32_MIN || units > INT32_MAX) throw AppError(msg::IntOverflow);
    return static_cast<int32_t>(units);
}

} // namespace

TForm5::TForm5(TForm1* form1, TForm2* form2) : QDialog(form2), form1_(form1), form2_(form2) {
    buildUi();
}

void TForm5::buildUi() {
    setWindowTitle(QStringLiteral("金額入力"));
    setFont(WindowStyle::font(WindowStyle::GothicP, 12, false));
    const QFont controlFont = WindowStyle::font(WindowStyle::MinchoP, 16, true);
    QPalette black = palette();
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        black.setColor(role, Theme::ink(black));

    Label1 = new QLabel(QStringLiteral("Label1"), this);
    Label1->move(24, 10);
    Label4 = label(this, QStringLiteral("の入力"), 188, 10);
    Label3 = label(this, QStringLiteral("収  入"), 30, 43);
    Label2 = label(this, QStringLiteral("支  出"), 30, 73);
    Edit1 = amountEdit(this, 36);
    Edit2 = amountEdit(this, 68);
    Button1 = button(this, QStringLiteral("キャンセル"), 152);
    Button2 = button(this, QStringLiteral("Ｏ  Ｋ"), 240);
    for (QWidget* w :
         std::initializer_list<QWidget*>{Label1, Label2, Label3, Label4, Edit1, Edit2, Button2}) {
        w->setFont(controlFont);
        w->setPalette(black);
    }
    Button1->setFont(WindowStyle::font(WindowStyle::MinchoP, 12, true));
    Button1->setPalette(black);
    // Labels size themselves to their texts in this font.
    for (QLabel* l : {Label1, Label2, Label3, Label4})
        l->adjustSize();

    Edit1->setAccessibleName(QStringLiteral("収入"));
    Edit2->setAccessibleName(QStringLiteral("支出"));
    setTabOrder(Button1, Button2);
    setTabOrder(Button2, Edit1);
    setTabOrder(Edit1, Edit2);

    connect(Button2, &QPushButton::clicked, this, guarded(this, &TForm5::Button2Click));
    connect(Button1, &QPushButton::clicked, this, guarded(this, &TForm5::Button1Click));

    move(174, 177);
    setFixedSize(329, 137);
}

void TForm5::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!e->spontaneous()) runGuarded([this] { FormActivate(); });
}

void TForm5::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        e->accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

void TForm5::FormActivate() {
    // The control selects its whole text on focus, so the first digit
    // typed starts a new amount.
    Edit1->setFocus(Qt::OtherFocusReason);
}

void TForm5::Button2Click() {
    StringGrid* sg = form2_->SG1;
    const int r = sg->Row();
    // Typing changes only the part without lines: never below the lines.
    BookDocument& doc = form1_->document();
    doc.book().checkTypedTotal(doc.shownMonth(), r, doc.day(), AmountField::Income,
                               wholeAmount(Edit1));
    doc.book().checkTypedTotal(doc.shownMonth(), r, doc.day(), AmountField::Expense,
                               wholeAmount(Edit2));
    sg->setCell(1, r, QString::fromLatin1(AmountFmt(wholeAmount(Edit1))));
    sg->setCell(2, r, QString::fromLatin1(AmountFmt(wholeAmount(Edit2))));
    form2_->SheetStore();
    SheetDisp(*form1_, *form2_);
    accept();
}

void TForm5::Button1Click() {
    reject();
}
