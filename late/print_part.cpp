// The print preview: Qt's own dialog on a high-resolution printer.
#include "late/parts.h"

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
    request.run(&preview);
}

} // namespace late
