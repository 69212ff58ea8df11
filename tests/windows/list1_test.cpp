#include "windows/list1.h"

#include "ledger/cp932.h"
#include "tests/windows/main_window_fixture.h"
#include "windows/ichiran.h"
#include "windows/print_feature.h"

#include <QAction>

#include <QCheckBox>
#include <QFileDialog>
#include <QPrintPreviewDialog>
#include <gtest/gtest.h>

namespace {

using namespace MonthPrintLayout;

const PrintText* findText(const PrintPage& page, const QString& text) {
    for (const PrintText& t : page.texts)
        if (t.text == text) return &t;
    return nullptr;
}

// The text in the row labelled `row` and the column headed `column`.
QString cellAt(const PrintPage& page, const char* row, const char* column) {
    const PrintText* r = findText(page, QString::fromUtf8(row));
    const PrintText* c = findText(page, QString::fromUtf8(column));
    if (!r || !c) return QStringLiteral("(no such row or column)");
    for (const PrintText& t : page.texts)
        if (t.rect.center().y() == r->rect.center().y() && t.rect.right() == c->rect.right())
            return t.text;
    return {};
}

TEST(MonthPrintModel, TextsSitInTheirRowsAndColumnsAndWeekendsAreShaded) {
    MonthPrintData data;
    data.ledger.Items[1].Name = utf8ToCp932("食費");
    data.ledger.Items[3].Name = utf8ToCp932("光熱費"); // slot 2 has no item, so no column
    data.ledger.CarryOver[1] = 10000;
    data.ledger.CarryOver[3] = 500;
    data.ledger.Items[1].Days[1] = {0, 1200};
    data.ledger.Items[3].Days[1] = {3000, 0};
    data.ledger.Items[1].Days[31] = {250000, 4000};
    data.folder = QStringLiteral("/home/user/kakeibo");
    const PrintPage page = layout(data).pages.at(0);

    const PrintText* header = findText(page, QStringLiteral("日付"));
    for (const char* heading : {"月度家計簿", "1996年12月"}) {
        const PrintText* t = findText(page, QString::fromUtf8(heading));
        ASSERT_TRUE(t && header) << heading;
        EXPECT_LE(t->rect.bottom(), header->rect.top()) << heading;
    }
    EXPECT_TRUE(findText(page, QStringLiteral("/home/user/kakeibo")));
    EXPECT_TRUE(findText(page, QStringLiteral("1 / 1")));
    struct {
        const char *row, *column, *text;
    } cells[] = {
        {"前月繰越", "残高", "10,500"},  {"1日(日)", "食費", "-1,200"},
        {"1日(日)", "光熱費", "3,000"},  {"1日(日)", "日計", "1,800"},
        {"1日(日)", "残高", "12,300"},   {"2日(月)", "食費", ""},
        {"30日(月)", "残高", "12,300"},  {"31日(火)", "食費", "246,000"},
        {"31日(火)", "残高", "258,300"}, {"収入計", "食費", "250,000"},
        {"収入計", "日計", "253,000"},   {"支出計", "食費", "5,200"},
        {"差引計", "光熱費", "3,000"},   {"差引計", "日計", "247,800"},
        {"差引計", "残高", "258,300"},
    };
    for (const auto& c : cells)
        EXPECT_EQ(cellAt(page, c.row, c.column), QString::fromUtf8(c.text))
            << c.row << " / " << c.column;

    std::vector<qreal> shaded, weekends;
    for (const PrintShade& s : page.shades)
        shaded.push_back(s.rect.center().y());
    for (const PrintText& t : page.texts)
        if (t.text.endsWith(QStringLiteral("(日)")) || t.text.endsWith(QStringLiteral("(土)")))
            weekends.push_back(t.rect.center().y());
    EXPECT_EQ(weekends.size(), 9u);
    EXPECT_EQ(shaded, weekends);
}

TEST(MonthPrintModel, TableFontShrinksToTheWidestAmountThenTurnsLandscape) {
    struct Case {
        int items;
        int32_t amount;
        QPageLayout::Orientation orientation;
        bool shrunk;
    } cases[] = {
        {12, -3000, QPageLayout::Portrait, false},
        {3, -2000000000, QPageLayout::Portrait, false},
        {12, -100000, QPageLayout::Portrait, true},
        {12, -2000000000, QPageLayout::Landscape, true},
    };
    for (const Case& c : cases) {
        MonthPrintData data;
        for (int e = 1; e <= c.items; ++e)
            data.ledger.Items[e].Name = utf8ToCp932("項目" + std::to_string(e));
        data.ledger.Items[c.items].Days[9].Expense = -c.amount;
        const MonthPrint print = layout(data);
        const std::string label = std::to_string(c.items) + " items, " + std::to_string(c.amount);
        EXPECT_EQ(print.page.orientation(), c.orientation) << label;
        EXPECT_GE(print.tablePoints, MinTablePoints) << label;
        EXPECT_EQ(print.tablePoints < MaxTablePoints, c.shrunk) << label;
        const qreal width = print.page.paintRect(QPageLayout::Point).width();
        for (const PrintText& t : print.pages[0].texts) {
            EXPECT_LE(textWidth(t.text, t.font), t.rect.width() + 0.01)
                << label << ": cut " << t.text.toStdString();
            EXPECT_LE(t.rect.right(), width + 0.01) << label << ": " << t.text.toStdString();
        }
    }
}

// The diary pages' text in order, "|" for each date. On the way: a date is
// followed on its page by its first line, no line runs into the footer, and
// every page is numbered.
QString diaryBody(const MonthPrint& print) {
    const qreal height = print.page.paintRect(QPageLayout::Point).height();
    QString body;
    for (std::size_t p = 1; p < print.pages.size(); ++p) {
        const auto& texts = print.pages[p].texts;
        EXPECT_TRUE(
            findText(print.pages[p], QStringLiteral("%1 / %2").arg(p + 1).arg(print.pages.size())));
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const PrintText& t = texts[i];
            if (t.text.startsWith(QStringLiteral("12月"))) {
                EXPECT_TRUE(i + 1 < texts.size() && texts[i + 1].rect.left() > t.rect.left())
                    << "alone at the foot of page " << p + 1 << ": " << t.text.toStdString();
                body += QLatin1Char('|');
            } else if (t.rect.left() > 0) {
                EXPECT_LE(t.rect.bottom(), height - 12)
                    << "into the footer: " << t.text.toStdString();
                body += t.text;
            }
        }
    }
    return body;
}

TEST(MonthPrintModel, DiaryBreaksAcrossPagesWithoutLosingALine) {
    MonthPrintData data;
    QString wide = QStringLiteral("今日の出来事を書いた。").repeated(30); // wraps
    data.diary = {{3, QStringLiteral("雨。")}, {25, wide + QStringLiteral("\n") + wide}};
    EXPECT_EQ(diaryBody(layout(data)), QStringLiteral("|雨。|") + wide + wide);
    // Entries of every length up to two pages bring the next date to every
    // place on a page, the foot included.
    for (int lines = 1; lines <= 100; ++lines) {
        data.diary = {{1, QStringLiteral("行\n").repeated(lines).chopped(1)},
                      {2, QStringLiteral("次。")}};
        EXPECT_EQ(diaryBody(layout(data)), QStringLiteral("|") +
                                               QStringLiteral("行").repeated(lines) +
                                               QStringLiteral("|次。"))
            << lines << " lines";
    }
}

using PrintCommands = MainWindowFixture;

// Ctrl+P and the list's "印刷..." open the preview, the list's "PDF出力..."
// writes where the dialog says, the diary off in each; a month that cannot
// print is refused before any dialog.
TEST_F(PrintCommands, PreviewAndPdfFromBothMenusButNeverABrokenMonth) {
    writeBytes(tmp.file("ZADUD.CFG"), "kamo1=A\r\n");
    setDate(1996, 12, 1);
    PrintFeature printout;
    form1->install(printout);
    printout.attach(*form1);
    TForm8& form8 = *printout.printer();
    TForm7 form7(form1.get());
    const std::string out = tmp.file("december.pdf");
    QStringList seen;
    Modal::setRunner([&](QDialog* d) {
        auto* box = d->findChild<QCheckBox*>(QStringLiteral("WithDiary"));
        seen << d->metaObject()->className() + QString(box && !box->isChecked() ? " off" : " ?");
        if (auto* files = qobject_cast<QFileDialog*>(d)) {
            files->selectFile(QString::fromStdString(out));
            QMetaObject::invokeMethod(files, "accept", Qt::DirectConnection);
            return;
        }
        d->show(); // draws the pages
        d->close();
    });
    form1->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form1.get()));
    QTest::keyClick(form1.get(), Qt::Key_P, Qt::ControlModifier);
    form7.Print1->trigger();
    form7.Pdf1->trigger();
    EXPECT_EQ(seen, QStringList(
                        {"QPrintPreviewDialog off", "QPrintPreviewDialog off", "QFileDialog off"}));
    EXPECT_EQ(readBytes(out).substr(0, 5), "%PDF-");
    EXPECT_EQ(form8.pdfDefaultPath(), QString::fromStdString(tmp.file("家計簿_1996年12月.pdf")));
    EXPECT_TRUE(errors.isEmpty()) << errors.join(' ').toStdString();

    writeBytes(tmp.file("199612.txt"), "A,0,x,\r\n");
    std::remove(out.c_str());
    form1->findChild<QAction*>(QStringLiteral("pdf"))->trigger();
    EXPECT_EQ(seen.size(), 3) << "asked for a file name for a month that cannot print";
    EXPECT_EQ(errors,
              QStringList{QStringLiteral("ﾌｧｲﾙ %1 を読み込めないため、この月は印刷できません\n"
                                         "'x' は整数ではありません.")
                              .arg(QString::fromStdString(tmp.file("199612.txt")))});
    EXPECT_FALSE(fileExists(out));
}

} // namespace
