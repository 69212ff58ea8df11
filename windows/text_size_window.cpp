#include "windows/text_size_window.h"

#include "shell/error_box.h"
#include "shell/text_size.h"
#include "shell/window_style.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TextSizeWindow::TextSizeWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TextSize"));
    setWindowTitle(QStringLiteral("文字の大きさ"));
    setFont(WindowStyle::font(WindowStyle::GothicP, 12, false));
    auto* layout = new QVBoxLayout(this);
    for (int p : TextSize::Choices) {
        auto* b = new QRadioButton(
            p == 100 ? QStringLiteral("%1 %（標準）").arg(p) : QStringLiteral("%1 %").arg(p), this);
        b->setObjectName(QStringLiteral("Size%1").arg(p));
        choices_.push_back(b);
        layout->addWidget(b);
    }
    auto* note = new QLabel(QStringLiteral("開いている画面も含めて、すべての画面の文字と\n"
                                           "画面の大きさが変わります。"),
                            this);
    layout->addWidget(note);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this,
            guarded(this, &TextSizeWindow::storeChoice));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    showStored();
}

void TextSizeWindow::showStored() {
    const int stored = TextSize::stored();
    for (std::size_t i = 0; i < choices_.size(); ++i)
        choices_[i]->setChecked(TextSize::Choices[i] == stored);
}

void TextSizeWindow::storeChoice() {
    for (std::size_t i = 0; i < choices_.size(); ++i)
        if (choices_[i]->isChecked()) {
            TextSize::store(TextSize::Choices[i]);
            TextSize::apply(*qApp, TextSize::Choices[i]);
        }
    accept();
}
