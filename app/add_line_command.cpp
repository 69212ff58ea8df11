#include "app/add_line_command.h"

#include "app/command_args.h"
#include "app/command_line.h"
#include "ledger/book.h"
#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/jp_holidays.h"
#include "ledger/text_file.h"
#include "storage/disk_store.h"
#include "storage/local_clock.h"

#include <QDir>
#include <climits>
#include <cstdio>

namespace {

// What the command was given, checked before anything is read or written.
EntryLine readLine(const QString& dateText, const QStringList& args, MonthKey& month) {
    const Date date = dateArgument("--add-line", dateText);
    month = {date.year, date.month};
    EntryLine line;
    line.day = date.day;
    const int64_t amount = amountArgument("--add-line", args[1]);
    if (amount == 0 || amount < -INT32_MAX || amount > INT32_MAX)
        throw UsageError(QStringLiteral("--add-line: 金額 %1 は 0 でない 2,147,483,647 までの数"
                                        "です (支出は負の数で書きます)")
                             .arg(args[1]));
    line.side = amount < 0 ? LineSide::Expense : LineSide::Income;
    line.amount = static_cast<int32_t>(amount < 0 ? -amount : amount);
    try {
        line.item = utf8ToCp932Exact(args[0].toStdString(), "項目名");
        line.memo = utf8ToCp932Exact(args[2].toStdString(), "ﾒﾓ");
        checkLine(line, month.year, month.month);
    } catch (const AppError& e) {
        throw UsageError(QStringLiteral("--add-line: ") + QString::fromStdString(e.what()));
    }
    return line;
}

} // namespace

int runAddLine(const QString& dateText, const QStringList& args) {
    MonthKey month;
    EntryLine line;
    try {
        line = readLine(dateText, args, month);
    } catch (const UsageError& e) {
        return reportFailure(e, 2);
    }
    try {
        DiskStore disk;
        Book book(QDir::currentPath().toStdString(), disk, localStamp);
        book.readConfiguration(isDirectory, isDirectory);
        // Only an item of the configuration takes a line.
        itemArgument(book, line.item, "--add-line", args[0]);
        // A damaged line file is never written over from a script.
        book.addLine(month, line, ChangeSource::Typed);
        for (const std::string& p : book.takeLineProblems())
            std::fprintf(stderr, "%s\n", p.c_str());
        // The line as --find prints it.
        std::printf("%04d-%02d-%02d\t%s\t%lld\t%s\n", month.year, month.month, line.day,
                    cp932ToUtf8Lossy(line.item).c_str(),
                    line.side == LineSide::Expense ? -static_cast<long long>(line.amount)
                                                   : static_cast<long long>(line.amount),
                    cp932ToUtf8Lossy(line.memo).c_str());
        std::fflush(stdout);
        return 0;
    } catch (const UsageError& e) {
        return reportFailure(e, 2);
    } catch (const std::exception& e) {
        return reportFailure(e, 1);
    }
}
