#include "windows/print_feature.h"

#include "windows/dialog_feature.h"

void PrintFeature::install(CommandHost& host) {
    print_ = host.addMenuEntry(MenuPlace::FileOutput, QStringLiteral("印刷..."),
                               QStringLiteral("print"), {QKeySequence(Qt::CTRL | Qt::Key_P)});
    pdf_ = host.addMenuEntry(MenuPlace::FileOutput, QStringLiteral("PDF出力..."),
                             QStringLiteral("pdf"));
    onTriggered(print_, [this] {
        if (form8_) form8_->Print1Click();
    });
    onTriggered(pdf_, [this] {
        if (form8_) form8_->Pdf1Click();
    });
}

void PrintFeature::attach(CommandHost& host) {
    form8_ = std::make_unique<TForm8>(&host);
    print_->setEnabled(true);
    pdf_->setEnabled(true);
}
