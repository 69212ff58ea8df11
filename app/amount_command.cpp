#include "app/amount_command.h"

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

struct CellValue {
    MonthKey month;
    int day = 0;
    std::string item; // CP932
    AmountField field = AmountField::Expense;
    int32_t value = 0;
};

// What the command was given, checked before anything is read or written.
CellValue readCell(const QString& dateText, const QStringList& args) {
    const Date date = dateArgument("--set-amount", dateText);
    CellValue c;
    c.month = {date.year, date.month};
    c.day = date.day;
    const QString& side = args[1];
    if (side == QLatin1String("income") || side == QStringLiteral("収入"))
        c.field = AmountField::Income;
    else if (side == QLatin1String("expense") || side == QStringLiteral("支出"))
        c.field = AmountField::Expense;
    else
        throw UsageError(QStringLiteral("--set-amount: %1 は income (収入) か expense (支出) "
                                        "と書きます")
                             .arg(side));
    const int64_t amount = amountArgument("--set-amount", args[2]);
    // A refund is a negative amount; the cell holds 32 bits.
    if (amount < -INT32_MAX || amount > INT32_MAX)
        throw UsageError(
            QStringLiteral("--set-amount: 金額 %1 は ±2,147,483,647 までの数です").arg(args[2]));
    c.value = static_cast<int32_t>(amount);
    try {
        c.item = utf8ToCp932Exact(args[0].toStdString(), "項目名");
    } catch (const AppError& e) {
        throw UsageError(QStringLiteral("--set-amount: ") + QString::fromStdString(e.what()));
    }
    return c;
}

} // namespace

int runSetAmount(const QString& dateText, const QStringList& args) {
    CellValue c;
    try {
        c = readCell(dateText, args);
    } catch (const UsageError& e) {
        return reportFailure(e, 2);
    }
    try {
        DiskStore disk;
        Book book(QDir::currentPath().toStdString(), disk, localStamp);
        book.readConfiguration(isDirectory, isDirectory);
        const int slot = itemArgument(book, c.item, "--set-amount", args[0]);
        try {
            // The cell's lines stay: a value below them is the user's slip.
            book.checkTypedTotal(c.month, slot, c.day, c.field, c.value);
        } catch (const AppError& e) {
            throw UsageError(QStringLiteral("--set-amount: ") + QString::fromStdString(e.what()));
        }
        book.setAmount(c.month, slot, c.day, c.field, c.value, ChangeSource::Typed);
        std::printf("%04d-%02d-%02d\t%s\t%s\t%d\n", c.month.year, c.month.month, c.day,
                    cp932ToUtf8Lossy(c.item).c_str(),
                    c.field == AmountField::Income ? "income" : "expense", c.value);
        std::fflush(stdout);
        return 0;
    } catch (const UsageError& e) {
        return reportFailure(e, 2);
    } catch (const std::exception& e) {
        return reportFailure(e, 1);
    }
}
