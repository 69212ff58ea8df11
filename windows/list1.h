#pragma once
// The month on paper. The printout is laid out first as a page model (texts,
// shaded bands and rules placed in points on each page's printable area),
// then painted onto any paged device: a printer, its preview, or a PDF
// writer. Page 1 is the month's table, the days down the side and one column
// per named item, then the day totals and the balance; the diary's entries
// may follow on pages of their own.

#include "ledger/budget_plan.h"
#include "ledger/month_ledger.h"
#include "ledger/period.h"

#include <QColor>
#include <QFont>
#include <QLineF>
#include <QObject>
#include <QPageLayout>
#include <QRectF>
#include <QString>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QPagedPaintDevice;
class CommandHost;
class TForm1;
struct PeriodSheet;

// What a printout shows.
struct MonthPrintData {
    int year = 1996;
    int month = 12;
    MonthLedger ledger;                         // names, carry-over and days
    QString folder;                             // the data folder, in the footer
    std::vector<std::pair<int, QString>> diary; // (day, text) of the days with an entry
    BudgetSummary budget; // with any budget, a page of budget, spent and remaining follows
    // A period other than a calendar month (year and month name it): its
    // days and title replace the month's.
    std::shared_ptr<const PeriodSheet> period;
    QString periodTitle;
};

struct PrintText {
    QRectF rect;
    QString text;
    QFont font; // its point size is the size on paper
    Qt::Alignment align;
};
struct PrintShade {
    QRectF rect;
    QColor color;
};
struct PrintRule {
    QLineF line;
    qreal width; // points
};
struct PrintPage {
    std::vector<PrintShade> shades;
    std::vector<PrintRule> rules;
    std::vector<PrintText> texts;
};
struct MonthPrint {
    QPageLayout page; // as given, turned to landscape when the table needs it
    qreal tablePoints = 0;
    std::vector<PrintPage> pages;
};

namespace MonthPrintLayout {

inline constexpr qreal MinTablePoints = 6;
inline constexpr qreal MaxTablePoints = 9;

// A4 portrait with 15 mm margins.
QPageLayout a4();

// The pages for `page`'s printable area. The table's font shrinks until the
// widest amount fits its column; below MinTablePoints the page turns
// landscape instead. Throws "整数のｵｰﾊﾞｰﾌﾛｰ" when a sum leaves 32 bits.
MonthPrint layout(const MonthPrintData& data, const QPageLayout& page = a4());

// The advance of `text` in points at the font's point size.
qreal textWidth(const QString& text, const QFont& font);

// Sets the device's page layout and paints every page.
void paint(const MonthPrint& print, QPagedPaintDevice& device);

// The printout as the bytes of a PDF file.
std::string pdfBytes(const MonthPrintData& data);

} // namespace MonthPrintLayout

// The month of the calendar, as a printout shows it: the month from the
// ledger's files, read without writing anything, and (when asked) the
// diary's entries, whose files are only read, never created. Throws the
// error of a malformed or unreadable month or diary file.
// With a period rule other than the calendar month's, (year, month) names a
// period.
MonthPrintData readMonthPrint(FileStore& files, const MonthLedger& names,
                              const std::string& ledgerDir, const std::string& diaryDir, int year,
                              int month, bool withDiary, const PeriodRule& rule = {});

// Writes the printout to `path` safely: an existing file is replaced only by
// a complete one, and a refused write throws the mapped file error.
void writeMonthPdf(FileStore& files, const MonthPrintData& data, const std::string& path);

// The print layout: created at start-up with the other windows and never
// shown; it prints the main window's month in memory.
class TForm8 : public QObject {
    Q_OBJECT

public:
    explicit TForm8(CommandHost* host);

    // "印刷...": the print preview, from which the user prints or changes
    // the page setup.
    void Print1Click();
    // "PDF出力...": asks for the file name, then writes the PDF.
    void Pdf1Click();

    // The month in memory, with the diary when asked. The month's files must
    // read cleanly: a month whose file failed to read is not printed.
    MonthPrintData currentMonth(bool withDiary) const;
    // The file name offered by "PDF出力...", in the data folder.
    QString pdfDefaultPath() const;

    static inline const QString WithDiaryCaption = QStringLiteral("日記も印刷");

private:
    CommandHost* host_;
};
