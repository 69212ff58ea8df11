#include "windows/line_text.h"

#include "ledger/amount_format.h"
#include "ledger/cp932.h"

#include <QStringList>

QString linesTip(const std::vector<EntryLine>& lines, const MonthLedger& month, int item, int day) {
    const std::string& name = month.Items[item].Name;
    if (name.empty()) return {};
    QStringList rows;
    for (const LineSide side : {LineSide::Income, LineSide::Expense}) {
        bool any = false;
        for (const EntryLine& l : lines) {
            if (l.day != day || l.side != side || l.item != name) continue;
            any = true;
            rows << QStringLiteral("%1  %2%3")
                        .arg(QString::fromStdString(cp932ToUtf8Lossy(l.memo)),
                             side == LineSide::Income ? QStringLiteral("+") : QString(),
                             QString::fromStdString(groupedAmount(l.amount)));
        }
        if (!any) continue;
        const CellParts parts = cellParts(lines, month, name, day, side);
        if (parts.unlined > 0)
            rows << QStringLiteral("内訳なし  %1%2")
                        .arg(side == LineSide::Income ? QStringLiteral("+") : QString(),
                             QString::fromStdString(groupedAmount(parts.unlined)));
        else if (parts.unlined < 0)
            rows << QStringLiteral("内訳が金額より %1 多い")
                        .arg(QString::fromStdString(groupedAmount(-parts.unlined)));
    }
    return rows.join(QLatin1Char('\n'));
}
