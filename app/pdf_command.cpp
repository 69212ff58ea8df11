#include "app/pdf_command.h"

#include "app/command_line.h"
#include "ledger/errors.h"
#include "windows/list1.h"

namespace {

// "1996-12" or "1996-1"; a year alone or anything else is not a month.
void parseMonth(const QString& text, int& year, int& month) {
    Period period;
    if (!parsePeriod(text.toStdString(), period) || period.month == 0)
        throw AppError(msg::InvalidDate);
    year = period.year;
    month = period.month;
}

} // namespace

int runPdfCommand(const QString& monthText, const QStringList& files, bool withDiary) {
    try {
        int year = 0, month = 0;
        parseMonth(monthText, year, month);
        if (files.size() != 1 || files.first().isEmpty()) throw AppError(msg::InvalidFileName);
        WorkingConfig cfg = readWorkingConfig();
        const MonthPrintData data =
            readMonthPrint(cfg.ledger, cfg.ledgerDir, cfg.diaryDir, year, month, withDiary);
        writeMonthPdf(data, files.first().toStdString());
        return 0;
    } catch (const std::exception& e) {
        return reportFailure(e, 1);
    }
}
