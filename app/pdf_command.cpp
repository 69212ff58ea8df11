#include "app/pdf_command.h"

#include "app/command_args.h"
#include "app/command_line.h"
#include "app/period_command.h"
#include "ledger/errors.h"
#include "storage/disk_store.h"
#include "windows/list1.h"

int runPdfCommand(const QString& monthText, const QStringList& files, bool withDiary) {
    // "1996-12" or "1996-1"; a year alone or anything else is not a month.
    Period period;
    std::string file;
    try {
        if (!parsePeriod(monthText.toStdString(), period) || period.month == 0)
            throw UsageError(QStringLiteral("--pdf の後に年月 (1996-12) を指定してください"));
        if (files.size() != 1 || files.first().isEmpty())
            throw UsageError(QStringLiteral("--pdf: 書き出す PDF のファイル名を指定してください"));
        file = files.first().toStdString();
        checkOutputFolder(file);
    } catch (const std::exception& e) {
        return reportFailure(e, 2);
    }
    try {
        WorkingConfig cfg = readWorkingConfig();
        DiskStore disk;
        const MonthPrintData data =
            readMonthPrint(disk, cfg.ledger, cfg.ledgerDir, cfg.diaryDir, period.year, period.month,
                           withDiary, commandPeriodRule(cfg.ledgerDir));
        writeMonthPdf(disk, data, file);
        reportWritten("PDF", file);
        return 0;
    } catch (const std::exception& e) {
        return reportFailure(e, 1);
    }
}
