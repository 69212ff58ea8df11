#include "windows/line_search.h"

#include "ledger/amount_format.h"
#include "ledger/cp932.h"
#include "shell/book_document.h"
#include "shell/error_box.h"
#include "shell/feature.h"
#include "shell/zadud.h"
#include "windows/background_search.h"
#include "windows/diary_search.h"

#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int DebounceMs = 250;
constexpr int HitRole = Qt::UserRole + 1;

QString utf8(const std::string& cp932) {
    return QString::fromStdString(cp932ToUtf8Lossy(cp932));
}

QString grouped(int64_t v) {
    return QString::fromStdString(groupedAmount(v));
}

QString totalText(const LineTotal& t) {
    QString text = QStringLiteral("%1 件").arg(t.count);
    if (t.income) text += QStringLiteral("  収入 %1").arg(grouped(t.income));
    if (t.expense || !t.income) text += QStringLiteral("  支出 %1").arg(grouped(t.expense));
    return text;
}

} // namespace

QString lineTotalsText(const LineSearchResult& r) {
    QStringList rows{QStringLiteral("合計 ") + totalText(r.total)};
    for (const auto& [tag, total] : r.tags)
        rows << QStringLiteral("#%1  %2").arg(QString::fromStdString(tag), totalText(total));
    return rows.join(QLatin1Char('\n'));
}

LineSearchWindow::LineSearchWindow(CommandHost* host)
    : SearchWindow(host,
                   {QStringLiteral("LineSearch"),
                    QStringLiteral("明細検索"),
                    QStringLiteral("日計を開く"),
                    QStringLiteral("探す条件"),
                    QStringLiteral(
                        "語句  1280  1000-2000  >5000  #ﾀｸﾞ  項目:食費  2026-12  2026-01..2026-06"),
                    {QStringLiteral("日付"), QStringLiteral("項目"), QStringLiteral("金額"),
                     QStringLiteral("ﾒﾓ")},
                    DebounceMs,
                    {119, 150},
                    {680, 480}}) {
    resultList_->setColumnWidth(0, 100);
    resultList_->setColumnWidth(1, 90);
    resultList_->setColumnWidth(2, 100);
    totalsLabel_ = new QLabel(this);
    totalsLabel_->setObjectName(QStringLiteral("totalsLabel"));
    totalsLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    bodyLayout()->insertWidget(2, totalsLabel_);
}

void LineSearchWindow::startSearch() {
    const std::string dir = doc_->book().ledgerDir();
    const std::string query = queryEdit_->text().toStdString();
    statusLabel_->setText(QStringLiteral("検索中…"));
    FileStore* files = &doc_->files();
    search_->run<Outcome>(
        [files, dir, query](const std::atomic<bool>* cancel) {
            Outcome out;
            try {
                if (diaryQueryWords(query, foldForSearch).empty()) {
                    out.empty = true;
                    return out;
                }
                const LineQuery q = parseLineQuery(query, foldForSearch);
                out.result = searchLines(*files, dir, q, foldForSearch, cancel);
            } catch (const std::exception& e) {
                out.error = QString::fromUtf8(e.what());
            }
            return out;
        },
        [this](const Outcome& outcome) { showOutcome(outcome); });
}

void LineSearchWindow::showOutcome(const Outcome& outcome) {
    result_ = outcome.result;
    resultList_->clear();
    for (std::size_t i = 0; i < result_.hits.size(); ++i) {
        const LineHit& hit = result_.hits[i];
        auto* item = new QTreeWidgetItem(resultList_);
        item->setData(0, HitRole, static_cast<qulonglong>(i));
        item->setText(0, QStringLiteral("%1-%2-%3")
                             .arg(hit.year, 4, 10, QLatin1Char('0'))
                             .arg(hit.month, 2, 10, QLatin1Char('0'))
                             .arg(hit.line.day, 2, 10, QLatin1Char('0')));
        item->setText(1, utf8(hit.line.item));
        item->setText(2, (hit.line.side == LineSide::Income ? QStringLiteral("+") : QString()) +
                             grouped(hit.line.amount));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(3, utf8(hit.line.memo));
    }
    if (resultList_->topLevelItemCount()) resultList_->setCurrentItem(resultList_->topLevelItem(0));
    totalsLabel_->setText(result_.hits.empty() ? QString() : lineTotalsText(result_));
    QString status = outcome.empty ? QStringLiteral("条件を入力してください")
                     : !outcome.error.isEmpty() ? outcome.error
                     : result_.hits.empty()     ? QStringLiteral("見つかりません")
                                                : QString();
    if (!result_.problems.empty())
        status += (status.isEmpty() ? QString() : QStringLiteral("\n")) +
                  QString::fromStdString(result_.problems.front());
    statusLabel_->setText(status);
    listFilled();
}

void LineSearchWindow::openRow() {
    QTreeWidgetItem* item = resultList_->currentItem();
    if (!item) return;
    const LineHit& hit = result_.hits.at(item->data(0, HitRole).toULongLong());
    doc_->goToDate(hit.year, hit.month, hit.line.day);
    // The daily sheet is the main window's own: its entry opens it.
    if (auto* form1 = qobject_cast<TForm1*>(host_->mainWindow())) form1->Exit2->trigger();
    startSearch();
}
