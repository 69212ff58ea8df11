#include "windows/statement_import_feature.h"

#include "shell/error_box.h"

#include "ledger/statement_post.h"
#include "shell/book_document.h"

void StatementImportFeature::install(CommandHost& host) {
    onTriggered(
        enables(host.addMenuEntry(MenuPlace::FileOutput, QStringLiteral("明細の取り込み..."),
                                  QStringLiteral("statementImport"))),
        [this] {
            if (window()) window()->chooseFile();
        });
}

void StatementImportFeature::attach(CommandHost& host) {
    setWindow(std::make_unique<StatementImportWindow>(&host));
    BookDocument& document = host.document();
    window()->setPoster([&document](std::vector<StatementRow>& rows, ImportSideFiles& files) {
        postStatementRows(document.book(), rows, files);
        // The rows are posted; only the import log could not be written.
        if (!files.logTrouble.empty()) ErrorBox::show(QString::fromStdString(files.logTrouble));
        // Saved at once, as the daily sheet saves what is typed; a failed
        // save is shown and the amounts stay in memory, as typed ones would.
        runGuarded([&document] { document.save(); });
    });
}
