#include "app/runtime_warning.h"

#include <QString>
#include <QtGlobal>

namespace {

QtMessageHandler previous = nullptr;

void filtered(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    if (previous) previous(type, context, text);
}

} // namespace

void dropRuntimeDirWarning() {
    previous = qInstallMessageHandler(filtered);
}
