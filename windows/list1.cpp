#include "windows/list1.h"

#include "late/late_parts.h"
#include "ledger/amount_format.h"
#include "ledger/cp932.h"
#include "ledger/diary_file.h"
#include "ledger/errors.h"
#include "ledger/export_month.h"
#include "ledger/month_table.h"
#include "ledger/period_figures.h"
#include "ledger/period_sheet.h"
#include "ledger/text_file.h"
#include "shell/calendar.h"
#include "shell/error_box.h"
#include "shell/feature.h"
#include "shell/window_style.h"
#include "shell/zadud.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFontMetricsF>
#include <QGridLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSignalBlocker>
#include <QTextLayout>
#include <QToolBar>
#include <algorithm>
#include <cerrno>

namespace {

// Widths are measured on a large pixel font, where hinting is negligible, and
// scaled: on paper the printout is vector text at any size.
constexpr qreal MeasurePixels = 1000;

QFont printFont(const QStringList& families, qreal points, bool bold) {
    QFont f;
    f.setFamilies(WindowStyle::installedFamilies(families));
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

QFont measureFont(const QFont& font) {
    QFont f(font);
    f.setPixelSize(static_cast<int>(MeasurePixels));
    return f;
}

QString elided(const QString& text, const QFont& font, qreal width, Qt::TextElideMode mode) {
    const qreal scale = MeasurePixels / font.pointSizeF();
    return QFontMetricsF(measureFont(font)).elidedText(text, mode, width * scale);
}

// One paragraph broken into lines no wider than `width` points; Japanese
// text breaks between any two characters.
QStringList wrapParagraph(const QString& text, const QFont& font, qreal width) {
    if (text.isEmpty()) return {QString()};
    QTextLayout layout(text, measureFont(font));
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width * MeasurePixels / font.pointSizeF());
        lines << text.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    return lines;
}

QString amountText(int32_t value) {
    return QString::fromStdString(groupedAmount(value));
}

QString weekdayName(int year, int month, int day) {
    static const QString names = QStringLiteral("月火水木金土日");
    return names.mid(QDate(year, month, day).dayOfWeek() - 1, 1);
}

QString monthTitle(int year, int month) {
    return QString::fromStdString(monthLabel(year, month));
}

QString titleOf(const MonthPrintData& data) {
    return data.period ? data.periodTitle : monthTitle(data.year, data.month);
}

const QColor SundayShade(255, 226, 226);
const QColor SaturdayShade(226, 234, 255);

// The table's rows: a label and one text per amount column (empty: blank).
struct TableRow {
    QString label;
    std::vector<QString> cells;
    QColor shade; // invalid: none
};

struct Table {
    std::vector<QString> headers; // named items, then 日計 and 残高
    std::vector<TableRow> rows;   // carried balance, days, totals
    int totalsFrom = 0;           // first row of the totals
};

void shadeWeekend(TableRow& row, const QDate& day) {
    if (day.dayOfWeek() == Qt::Sunday) row.shade = SundayShade;
    if (day.dayOfWeek() == Qt::Saturday) row.shade = SaturdayShade;
}

// A period's days down the side, dated, with its totals summed here.
Table buildPeriodTable(const PeriodSheet& s) {
    std::vector<int> items;
    Table table;
    for (int e = 1; e <= ShownItems; ++e) {
        if (s.names[e].empty()) continue;
        items.push_back(e);
        table.headers.push_back(QString::fromStdString(cp932ToUtf8Lossy(s.names[e])));
    }
    table.headers.push_back(QStringLiteral("日計"));
    table.headers.push_back(QStringLiteral("残高"));
    TableRow carried{QStringLiteral("前期繰越"), std::vector<QString>(table.headers.size()), {}};
    carried.cells.back() = amountText(s.carried);
    table.rows.push_back(carried);
    for (std::size_t i = 0; i < s.dates.size(); ++i) {
        const QDate day(s.dates[i].year, s.dates[i].month, s.dates[i].day);
        TableRow row;
        row.label = QStringLiteral("%1/%2(%3)")
                        .arg(day.month())
                        .arg(day.day())
                        .arg(weekdayName(day.year(), day.month(), day.day()));
        for (int e : items)
            row.cells.push_back(s.net[i][e] == 0 ? QString() : amountText(s.net[i][e]));
        row.cells.push_back(amountText(s.dayTotal[i]));
        row.cells.push_back(amountText(s.balance[i]));
        shadeWeekend(row, day);
        table.rows.push_back(row);
    }
    RangeArray<int32_t, 1, ShownItems> net;
    int32_t totalIncome = 0, totalExpense = 0;
    for (int e = 1; e <= ShownItems; ++e) {
        net[e] = checkedSub(s.income[e], s.expense[e]);
        totalIncome = checkedAdd(totalIncome, s.income[e]);
        totalExpense = checkedAdd(totalExpense, s.expense[e]);
    }
    table.totalsFrom = static_cast<int>(table.rows.size());
    auto totals = [&](const QString& label, const RangeArray<int32_t, 1, ShownItems>& perItem,
                      int32_t sum, const QString& balance) {
        TableRow row{label, {}, {}};
        for (int e : items)
            row.cells.push_back(amountText(perItem[e]));
        row.cells.push_back(amountText(sum));
        row.cells.push_back(balance);
        table.rows.push_back(row);
    };
    totals(QStringLiteral("収入計"), s.income, totalIncome, {});
    totals(QStringLiteral("支出計"), s.expense, totalExpense, {});
    totals(QStringLiteral("差引計"), net, checkedSub(totalIncome, totalExpense),
           amountText(s.balance.empty() ? s.carried : s.balance.back()));
    return table;
}

Table buildTable(const MonthPrintData& data) {
    if (data.period) return buildPeriodTable(*data.period);
    const int days = daysInMonth(data.year, data.month);
    const MonthTable t = monthTable(data.ledger, days);
    std::vector<int> items;
    Table table;
    for (int e = 1; e <= ShownItems; ++e) {
        if (data.ledger.Items[e].Name.empty()) continue;
        items.push_back(e);
        table.headers.push_back(
            QString::fromStdString(cp932ToUtf8Lossy(data.ledger.Items[e].Name)));
    }
    table.headers.push_back(QStringLiteral("日計"));
    table.headers.push_back(QStringLiteral("残高"));
    const std::size_t columns = table.headers.size();

    TableRow carried{QStringLiteral("前月繰越"), std::vector<QString>(columns), {}};
    carried.cells.back() = amountText(t.carried);
    table.rows.push_back(carried);
    for (int d = 1; d <= days; ++d) {
        TableRow row;
        row.label = QStringLiteral("%1日(%2)").arg(d).arg(weekdayName(data.year, data.month, d));
        // Blank where nothing happened, as on paper: the day's entries stand out.
        for (int e : items)
            row.cells.push_back(t.net[e][d] == 0 ? QString() : amountText(t.net[e][d]));
        row.cells.push_back(amountText(t.dayTotal[d]));
        row.cells.push_back(amountText(t.balance[d]));
        shadeWeekend(row, QDate(data.year, data.month, d));
        table.rows.push_back(row);
    }
    table.totalsFrom = static_cast<int>(table.rows.size());
    auto totals = [&](const QString& label, const RangeArray<int32_t, 1, ShownItems>& perItem,
                      int32_t sum, const QString& balance) {
        TableRow row{label, {}, {}};
        for (int e : items)
            row.cells.push_back(amountText(perItem[e]));
        row.cells.push_back(amountText(sum));
        row.cells.push_back(balance);
        table.rows.push_back(row);
    };
    totals(QStringLiteral("収入計"), t.income, t.totalIncome, {});
    totals(QStringLiteral("支出計"), t.expense, t.totalExpense, {});
    totals(QStringLiteral("差引計"), t.itemNet, t.totalNet, amountText(t.balance[days]));
    return table;
}

// Space around a cell's text, as a share of the font size.
constexpr qreal CellPad = 0.35;
constexpr qreal HeadingHeight = 36;
constexpr qreal FooterHeight = 16; // kept free above the bottom margin's edge

struct TableFit {
    qreal points;
    qreal labelWidth;
};

// The largest font (up to the maximum) at which the labels and the widest
// amount fit across `width` and the rows fit down `height`.
TableFit fitTable(const Table& table, const QFont& font, qreal width, qreal height) {
    QFont unit(font);
    unit.setPointSizeF(1);
    qreal label = 0, amount = 0;
    for (const TableRow& row : table.rows) {
        label = std::max(label, MonthPrintLayout::textWidth(row.label, unit));
        for (const QString& cell : row.cells)
            amount = std::max(amount, MonthPrintLayout::textWidth(cell, unit));
    }
    const qreal columns = static_cast<qreal>(table.headers.size());
    const qreal byWidth = width / (label + 2 * CellPad + columns * (amount + 2 * CellPad));
    const qreal rowCount = static_cast<qreal>(table.rows.size() + 1);
    const qreal byHeight = height / rowCount / 1.5;
    const qreal points = std::min({MonthPrintLayout::MaxTablePoints, byWidth, byHeight});
    return {points, (label + 2 * CellPad) * points};
}

void addFooters(std::vector<PrintPage>& pages, const QString& folder, qreal width, qreal height) {
    const QFont font = printFont(WindowStyle::GothicP, 7.5, false);
    const QString shownFolder = elided(folder, font, width * 0.8, Qt::ElideMiddle);
    const int count = static_cast<int>(pages.size());
    for (int i = 0; i < count; ++i) {
        const QRectF line(0, height - 11, width, 11);
        pages[i].rules.push_back({QLineF(0, height - 12, width, height - 12), 0.3});
        pages[i].texts.push_back({line, shownFolder, font, Qt::AlignLeft | Qt::AlignVCenter});
        pages[i].texts.push_back({line, QStringLiteral("%1 / %2").arg(i + 1).arg(count), font,
                                  Qt::AlignRight | Qt::AlignVCenter});
    }
}

PrintPage tablePage(const MonthPrintData& data, const Table& table, const QFont& tableFont,
                    qreal labelWidth, qreal width, qreal height) {
    PrintPage page;
    const QRectF heading(0, 0, width, HeadingHeight - 8);
    page.texts.push_back({heading, QStringLiteral("月度家計簿"),
                          printFont(WindowStyle::MinchoP, 18, true), Qt::AlignCenter});
    page.texts.push_back({heading, titleOf(data), printFont(WindowStyle::MinchoP, 13, true),
                          Qt::AlignLeft | Qt::AlignVCenter});

    const qreal points = tableFont.pointSizeF();
    const qreal pad = CellPad * points;
    const int columns = static_cast<int>(table.headers.size());
    const int rows = static_cast<int>(table.rows.size()) + 1;
    const qreal columnWidth = (width - labelWidth) / columns;
    const qreal rowHeight = std::min(points * 2.2, (height - HeadingHeight - FooterHeight) / rows);
    const qreal top = HeadingHeight;
    const qreal bottom = top + rows * rowHeight;
    auto columnX = [&](int c) { return labelWidth + c * columnWidth; };
    auto cellRect = [&](qreal x, int r, qreal w) {
        return QRectF(x + pad, top + r * rowHeight, w - 2 * pad, rowHeight);
    };

    QFont headerFont(tableFont);
    headerFont.setBold(true);
    page.texts.push_back(
        {cellRect(0, 0, labelWidth), QStringLiteral("日付"), headerFont, Qt::AlignCenter});
    for (int c = 0; c < columns; ++c)
        page.texts.push_back({cellRect(columnX(c), 0, columnWidth),
                              elided(table.headers[static_cast<std::size_t>(c)], headerFont,
                                     columnWidth - 2 * pad, Qt::ElideRight),
                              headerFont, Qt::AlignCenter});
    for (int r = 1; r < rows; ++r) {
        const TableRow& row = table.rows[static_cast<std::size_t>(r - 1)];
        if (row.shade.isValid())
            page.shades.push_back({QRectF(0, top + r * rowHeight, width, rowHeight), row.shade});
        const QFont& font = r - 1 >= table.totalsFrom ? headerFont : tableFont;
        page.texts.push_back(
            {cellRect(0, r, labelWidth), row.label, font, Qt::AlignLeft | Qt::AlignVCenter});
        for (int c = 0; c < columns; ++c) {
            const QString& text = row.cells[static_cast<std::size_t>(c)];
            if (!text.isEmpty())
                page.texts.push_back({cellRect(columnX(c), r, columnWidth), text, font,
                                      Qt::AlignRight | Qt::AlignVCenter});
        }
    }

    // Ruled as a paper account book: firmer lines round the table, under the
    // headers, above the totals and before the day total.
    for (int r = 0; r <= rows; ++r) {
        const bool firm = r == 0 || r == 1 || r == rows || r - 1 == table.totalsFrom;
        const qreal y = top + r * rowHeight;
        page.rules.push_back({QLineF(0, y, width, y), firm ? 0.8 : 0.25});
    }
    for (int c = -1; c <= columns; ++c) {
        const qreal x = c < 0 ? 0 : c == columns ? width : columnX(c);
        const bool firm = c < 0 || c == 0 || c == columns || c == columns - 2;
        page.rules.push_back({QLineF(x, top, x, bottom), firm ? 0.8 : 0.25});
    }
    return page;
}

void addDiaryPages(std::vector<PrintPage>& pages, const MonthPrintData& data, qreal width,
                   qreal height) {
    if (data.diary.empty()) return;
    const QFont headingFont = printFont(WindowStyle::MinchoP, 13, true);
    const QFont dateFont = printFont(WindowStyle::MinchoP, 10.5, true);
    const QFont textFont = printFont(WindowStyle::MinchoP, 10, false);
    constexpr qreal DateHeight = 17, LineHeight = 15, Indent = 12, Gap = 8;
    const qreal bottom = height - FooterHeight;

    qreal y = 0;
    auto newPage = [&] {
        pages.emplace_back();
        pages.back().texts.push_back({QRectF(0, 0, width, 24),
                                      QStringLiteral("日記  ") + titleOf(data), headingFont,
                                      Qt::AlignLeft | Qt::AlignVCenter});
        y = 32;
    };
    newPage();
    for (const auto& [day, text] : data.diary) {
        QStringList lines;
        for (const QString& paragraph : text.split(QLatin1Char('\n')))
            lines << wrapParagraph(paragraph, textFont, width - Indent);
        // A date is never left alone at the foot of a page.
        if (y + DateHeight + LineHeight > bottom) newPage();
        const QString date = QStringLiteral("%1月%2日(%3)")
                                 .arg(data.month)
                                 .arg(day)
                                 .arg(weekdayName(data.year, data.month, day));
        pages.back().texts.push_back(
            {QRectF(0, y, width, DateHeight), date, dateFont, Qt::AlignLeft | Qt::AlignVCenter});
        y += DateHeight;
        for (const QString& line : lines) {
            if (y + LineHeight > bottom) newPage();
            pages.back().texts.push_back({QRectF(Indent, y, width - Indent, LineHeight), line,
                                          textFont, Qt::AlignLeft | Qt::AlignVCenter});
            y += LineHeight;
        }
        y += Gap;
    }
}

void addBudgetPage(std::vector<PrintPage>& pages, const MonthPrintData& data, qreal width) {
    if (!data.budget.any) return;
    const QFont headingFont = printFont(WindowStyle::MinchoP, 13, true);
    const QFont font = printFont(WindowStyle::Mincho, 10, false);
    constexpr qreal Row = 16;
    PrintPage page;
    page.texts.push_back({QRectF(0, 0, width, 24), QStringLiteral("予算  ") + titleOf(data),
                          headingFont, Qt::AlignLeft | Qt::AlignVCenter});
    const qreal col = width / 4;
    qreal y = 32;
    auto row = [&](const QStringList& cells) {
        for (int c = 0; c < cells.size(); ++c)
            page.texts.push_back({QRectF(c * col, y, col - 4, Row), cells[c], font,
                                  (c == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter});
        page.rules.push_back({QLineF(0, y + Row, width, y + Row), 0.3});
        y += Row;
    };
    row({QStringLiteral("項目"), QStringLiteral("予算"), QStringLiteral("使った"),
         QStringLiteral("残り")});
    auto amount = [](int64_t v) { return QString::fromStdString(groupedAmount(v)); };
    for (int i = 1; i <= ShownItems; ++i) {
        const BudgetLine& l = data.budget.lines[i];
        if (!l.budgeted) continue;
        row({QString::fromStdString(cp932ToUtf8Lossy(data.ledger.Items[i].Name)), amount(l.budget),
             amount(l.spent),
             l.over() ? QStringLiteral("超過 ") + amount(-l.remaining) : amount(l.remaining)});
    }
    pages.push_back(page);
}

QSizeF printableSize(const QPageLayout& page) {
    return page.paintRect(QPageLayout::Point).size();
}

} // namespace

namespace MonthPrintLayout {

QPageLayout a4() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                       QPageLayout::Millimeter);
}

qreal textWidth(const QString& text, const QFont& font) {
    return QFontMetricsF(measureFont(font)).horizontalAdvance(text) * font.pointSizeF() /
           MeasurePixels;
}

MonthPrint layout(const MonthPrintData& data, const QPageLayout& page) {
    const Table table = buildTable(data);
    const QFont base = printFont(WindowStyle::Mincho, MaxTablePoints, false);
    MonthPrint print;
    print.page = page;
    auto fit = [&] {
        const QSizeF size = printableSize(print.page);
        return fitTable(table, base, size.width(), size.height() - HeadingHeight - FooterHeight);
    };
    TableFit chosen = fit();
    if (chosen.points < MinTablePoints && print.page.orientation() == QPageLayout::Portrait) {
        print.page.setOrientation(QPageLayout::Landscape);
        chosen = fit();
    }
    // Below the smallest readable size on the largest side the columns run
    // past the margin rather than cut an amount.
    chosen.points = std::max(chosen.points, MinTablePoints);
    print.tablePoints = chosen.points;

    QFont tableFont(base);
    tableFont.setPointSizeF(chosen.points);
    const QSizeF size = printableSize(print.page);
    print.pages.push_back(
        tablePage(data, table, tableFont, chosen.labelWidth, size.width(), size.height()));
    addBudgetPage(print.pages, data, size.width());
    addDiaryPages(print.pages, data, size.width(), size.height());
    addFooters(print.pages, data.folder, size.width(), size.height());
    return print;
}

void paint(const MonthPrint& print, QPagedPaintDevice& device) {
    device.setPageLayout(print.page);
    QPainter painter;
    if (!painter.begin(&device)) throw fileError(EIO, std::string());
    // The model is in points on the printable area; the device counts dots.
    const qreal kx = device.logicalDpiX() / 72.0;
    const qreal ky = device.logicalDpiY() / 72.0;
    auto dots = [&](const QRectF& r) {
        return QRectF(r.x() * kx, r.y() * ky, r.width() * kx, r.height() * ky);
    };
    bool first = true;
    for (const PrintPage& page : print.pages) {
        if (!first) device.newPage();
        first = false;
        for (const PrintShade& shade : page.shades)
            painter.fillRect(dots(shade.rect), shade.color);
        for (const PrintRule& rule : page.rules) {
            painter.setPen(QPen(Qt::black, rule.width * kx));
            painter.drawLine(QLineF(rule.line.x1() * kx, rule.line.y1() * ky, rule.line.x2() * kx,
                                    rule.line.y2() * ky));
        }
        painter.setPen(Qt::black);
        for (const PrintText& text : page.texts) {
            painter.setFont(text.font);
            painter.drawText(dots(text.rect),
                             int(text.align) | Qt::TextSingleLine | Qt::TextDontClip, text.text);
        }
    }
    painter.end();
}

std::string pdfBytes(const MonthPrintData& data) {
    const MonthPrint print = layout(data);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setTitle(QStringLiteral("月度家計簿 ") + titleOf(data));
        writer.setCreator(QStringLiteral("家計簿 Ver 1.3"));
        paint(print, writer);
    }
    return buffer.data().toStdString();
}

} // namespace MonthPrintLayout

namespace {

std::vector<std::pair<int, QString>> readDiary(FileStore& files, const std::string& dir, int year,
                                               int month) {
    std::vector<std::pair<int, QString>> entries;
    const int days = daysInMonth(year, month);
    for (int d = 1; d <= days; ++d) {
        std::string bytes;
        if (!readDiaryFile(files, dir, year, month, d, bytes)) continue;
        QString text = QString::fromStdString(cp932ToUtf8Lossy(diaryText(bytes)));
        while (!text.isEmpty() && text.back().isSpace())
            text.chop(1);
        // The diary window leaves an empty file behind for every day it opened.
        if (!text.trimmed().isEmpty()) entries.emplace_back(d, text);
    }
    return entries;
}

} // namespace

MonthPrintData readMonthPrint(FileStore& files, const MonthLedger& names,
                              const std::string& ledgerDir, const std::string& diaryDir, int year,
                              int month, bool withDiary, const PeriodRule& rule) {
    MonthPrintData data;
    data.year = year;
    data.month = month;
    data.ledger = names;
    data.folder = QString::fromStdString(ledgerDir);
    // A damaged budget file leaves the budgets out; the window names it.
    const BudgetFile budgets = readBudgetFile(files, ledgerDir);
    if (!rule.calendar()) {
        const MonthReader months = [&files, &names, &ledgerDir](int y, int m) {
            MonthLedger l = names;
            readMonthForExport(files, l, ledgerDir, y, m);
            return l;
        };
        data.period =
            std::make_shared<PeriodSheet>(periodSheet(periodRange(rule, {year, month}), months));
        data.periodTitle = QString::fromStdString(periodTitle(rule, {year, month}));
        data.budget = periodBudgetSummary(budgets.plan, rule, {year, month}, 0, months);
        return data;
    }
    readMonthForExport(files, data.ledger, ledgerDir, year, month);
    if (withDiary) data.diary = readDiary(files, diaryDir, year, month);
    data.budget = budgetSummary(budgets.plan, data.ledger, year, month, 0,
                                monthFileReader(files, names, ledgerDir));
    return data;
}

void writeMonthPdf(FileStore& files, const MonthPrintData& data, const std::string& path) {
    files.writeSafely(path, MonthPrintLayout::pdfBytes(data));
}

TForm8::TForm8(CommandHost* host) : QObject(host->mainWindow()), host_(host) {
    setObjectName(QStringLiteral("Form8"));
}

MonthPrintData TForm8::currentMonth(bool withDiary) const {
    const int year = host_->document().year(), month = host_->document().month();
    // Read again only to learn whether the files read cleanly: what prints is
    // the month in memory, with the edits not yet saved.
    MonthLedger check = host_->document().ledger();
    std::string failed;
    try {
        readMonthForExport(host_->document().files(), check, host_->document().book().ledgerDir(),
                           year, month, &failed);
    } catch (const std::exception& e) {
        // Which file, as the month's other views say.
        if (failed.empty()) throw;
        throw AppError("ﾌｧｲﾙ " + failed + " を読み込めないため、この月は印刷できません\n" +
                       e.what());
    }
    MonthPrintData data;
    data.year = year;
    data.month = month;
    data.ledger = host_->document().ledger();
    data.folder = QString::fromStdString(host_->document().book().ledgerDir());
    if (withDiary)
        data.diary =
            readDiary(host_->document().files(), host_->document().book().diaryDir(), year, month);
    data.budget = host_->document().monthBudget(0);
    const BookDocument& doc = host_->document();
    if (!doc.periodRule().calendar()) {
        const PeriodName shown = doc.shownPeriod();
        data.year = shown.year;
        data.month = shown.month;
        data.diary.clear(); // the diary pages are a calendar month's
        data.period =
            std::make_shared<PeriodSheet>(periodSheet(doc.shownRange(), doc.monthReader()));
        data.periodTitle = QString::fromStdString(periodTitle(doc.periodRule(), shown));
    }
    return data;
}

QString TForm8::pdfDefaultPath() const {
    return QDir(QString::fromStdString(host_->document().book().ledgerDir()))
        .filePath(QStringLiteral("家計簿_") +
                  monthTitle(host_->document().shownPeriod().year,
                             host_->document().shownPeriod().month) +
                  QStringLiteral(".pdf"));
}

namespace {

QWidget* dialogParent(QWidget* form1) {
    QWidget* active = QApplication::activeWindow();
    return active ? active : form1;
}

} // namespace

void TForm8::Print1Click() {
    MonthPrintData data = currentMonth(false);
    const QPageLayout page = MonthPrintLayout::a4();
    PrintPreviewRequest request;
    request.parent = dialogParent(host_->mainWindow());
    request.objectName = "PrintPreview";
    request.title = "印刷プレビュー";
    request.docName = (QStringLiteral("月度家計簿 ") + titleOf(data)).toStdString();
    request.page = &page;
    request.paint = [&data](QPagedPaintDevice& device, const QPageLayout& layout) {
        runGuarded(
            [&] { MonthPrintLayout::paint(MonthPrintLayout::layout(data, layout), device); });
    };
    request.decorate = [&](QDialog& preview, std::function<void()> again) {
        auto* withDiary = new QCheckBox(WithDiaryCaption, &preview);
        withDiary->setObjectName(QStringLiteral("WithDiary"));
        if (auto* bar = preview.findChild<QToolBar*>()) {
            bar->addSeparator();
            bar->addWidget(withDiary);
        }
        connect(withDiary, &QCheckBox::toggled, &preview, [&data, this, withDiary, again](bool on) {
            if (!runGuarded([&] { data = currentMonth(on); })) {
                const QSignalBlocker quiet(withDiary);
                withDiary->setChecked(false);
                return;
            }
            again();
        });
    };
    request.run = [](QDialog* preview) { Modal::exec(preview); };
    request.printedToFile = [](const std::string& path) {
        ErrorBox::inform(ErrorBox::writtenText(QStringLiteral("印刷を PDF に書き出しました"),
                                               QString::fromStdString(path)));
    };
    lateParts().printPreview(request);
}

void TForm8::Pdf1Click() {
    // A month that cannot be printed is reported before a file name is asked.
    currentMonth(false);
    QFileDialog dialog(dialogParent(host_->mainWindow()), QStringLiteral("PDF出力"),
                       pdfDefaultPath(), QStringLiteral("PDF (*.pdf)"));
    dialog.setObjectName(QStringLiteral("PdfDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    // Qt's own dialog, so that it can hold the diary check box.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto* withDiary = new QCheckBox(WithDiaryCaption, &dialog);
    withDiary->setObjectName(QStringLiteral("WithDiary"));
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(withDiary, grid->rowCount(), 0, 1, -1);
    Modal::exec(&dialog);
    if (dialog.result() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().constFirst();
    writeMonthPdf(host_->document().files(), currentMonth(withDiary->isChecked()),
                  path.toStdString());
    ErrorBox::inform(ErrorBox::writtenText(QStringLiteral("PDF を書き出しました"), path));
}
