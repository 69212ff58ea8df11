// The print preview: Qt's own dialog on a high-resolution printer.
#include "late/parts.h"

#include <QAction>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>

namespace late {

void printPreview(const PrintPreviewRequest& request) {
    QPrinter printer(QPrinter::HighResolution);
    if (request.page) printer.setPageLayout(*request.page);
    printer.setDocName(QString::fromStdString(request.docName));
    QPrintPreviewDialog preview(&printer, request.parent);
    preview.setObjectName(QString::fromStdString(request.objectName));
    preview.setWindowTitle(QString::fromStdString(request.title));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&request](QPrinter* p) { request.paint(*p, p->pageLayout()); });
    if (request.decorate)
        request.decorate(preview, [&preview] {
            if (auto* view = preview.findChild<QPrintPreviewWidget*>()) view->updatePreview();
        });
    // Opened at page width, where a page's text can be read, and at a
    // size that fits a small screen.
    if (auto* view = preview.findChild<QPrintPreviewWidget*>())
        view->setZoomMode(QPrintPreviewWidget::FitToWidth);
    preview.resize(900, 700);
    // Ctrl+P prints from here as it does from the menus: the printer's
    // dialog, then the pages, and the preview closes as after its own button.
    auto* printKey = new QAction(&preview);
    printKey->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    preview.addAction(printKey);
    QObject::connect(printKey, &QAction::triggered, &preview, [&] {
        QPrintDialog dialog(&printer, &preview);
        dialog.setObjectName(QStringLiteral("PrintDialog"));
        request.run(&dialog);
        if (dialog.result() != QDialog::Accepted) return;
        if (auto* view = preview.findChild<QPrintPreviewWidget*>()) view->print();
        preview.accept();
    });
    // The preview closes after its pages went out; where they went to a
    // file, the user is told which.
    QObject::connect(&preview, &QDialog::accepted, &preview, [&] {
        if (request.printedToFile && !printer.outputFileName().isEmpty())
            request.printedToFile(printer.outputFileName().toStdString());
    });
    request.run(&preview);
}

} // namespace late
