#include "windows/ver.h"

#include "shell/error_box.h"
#include "shell/theme.h"
#include "shell/window_style.h"

#include <QLabel>
#include <QPushButton>

TForm6::TForm6(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    setFont(WindowStyle::font(WindowStyle::GothicP, 12, false));

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(30, 7, 205, 69);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setFont(WindowStyle::font(WindowStyle::Mincho, 15, false));
    QPalette blue = Label1->palette();
    blue.setColor(QPalette::WindowText, Theme::readable(Qt::blue, blue.color(QPalette::Window)));
    Label1->setPalette(blue);
    // Line breaks rather than padding: each credit starts a line whatever the
    // font's widths.
    Label1->setText(QStringLiteral("    家計簿 Ver 1.3\n"
                                   "「家計簿 Ver 1.3」ﾌﾟﾛｼﾞｪｸﾄ\n"
                                   "報告はﾌﾟﾛｼﾞｪｸﾄの課題票へ"));

    Button1 = new QPushButton(QStringLiteral("Ｏ Ｋ"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(137, 91, 116, 25);
    Button1->setFont(WindowStyle::font(WindowStyle::Mincho, 15, true));
    Theme::useInk(Button1);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, guarded(this, &TForm6::Button1Click));

    setFixedSize(261, 127);
    move(166, 176);
}

void TForm6::Button1Click() {
    accept();
}
