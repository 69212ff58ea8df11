#include "windows/list1.h"

#include "ledger/cp932.h"
#include "tests/windows/main_window_fixture.h"
#include "windows/ichiran.h"

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

// The text of the table cell in the row of `rowLabel` and the column of
// `header`; empty when there is none.
QString cellAt(const PrintPage& page, const QString& rowLabel, const QString& header) {
    const PrintText* row = findText(page, rowLabel);
    const PrintText* column = findText(page, header);
    if (!row || !column) return QStringLiteral("(no row or column)");
    for (const PrintText& t : page.texts)
        if (t.rect.center().y() == row->rect.center().y() && t.rect.right() == column->rect.right())
            return t.text;
    return {};
}

MonthPrintData december() {
    MonthPrintData data;
    data.ledger.Items[1].Name = utf8ToCp932("食費");
    data.ledger.Items[3].Name = utf8ToCp932("光熱費"); // slot 2 has no item
    data.ledger.CarryOver[1] = 10000;
    data.ledger.CarryOver[3] = 500;
    data.ledger.Items[1].Days[1] = {0, 1200};
    data.ledger.Items[3].Days[1] = {3000, 0};
    data.ledger.Items[1].Days[31] = {250000, 4000};
    data.folder = QStringLiteral("/home/user/kakeibo");
    return data;
}

TEST(MonthPrintModel, HeadingTableTotalsAndWeekendsSitWhereTheyBelong) {
    const MonthPrint print = layout(december());
    ASSERT_EQ(print.pages.size(), 1u);
    const PrintPage& page = print.pages[0];
    const PrintText* title = findText(page, QStringLiteral("月度家計簿"));
    const PrintText* month = findText(page, QStringLiteral("1996年12月"));
    const PrintText* dateHeader = findText(page, QStringLiteral("日付"));
    ASSERT_TRUE(title && month && dateHeader);
    EXPECT_LT(title->rect.bottom(), dateHeader->rect.top());
    EXPECT_LT(month->rect.bottom(), dateHeader->rect.top());

    // Columns: the named items in slot order, then the day total and the balance.
    std::vector<qreal> xs;
    for (const char* h : {"食費", "光熱費", "日計", "残高"}) {
        const PrintText* t = findText(page, QString::fromUtf8(h));
        ASSERT_TRUE(t) << h;
        xs.push_back(t->rect.left());
    }
    EXPECT_TRUE(std::is_sorted(xs.begin(), xs.end()));

    struct Cell {
        const char *row, *column, *text;
    } cells[] = {
        {"前月繰越", "残高", "10,500"},  {"1日(日)", "食費", "-1,200"},
        {"1日(日)", "光熱費", "3,000"},  {"1日(日)", "日計", "1,800"},
        {"1日(日)", "残高", "12,300"},   {"2日(月)", "食費", ""},
        {"2日(月)", "残高", "12,300"},   {"30日(月)", "残高", "12,300"},
        {"31日(火)", "食費", "246,000"}, {"31日(火)", "残高", "258,300"},
        {"収入計", "食費", "250,000"},   {"収入計", "光熱費", "3,000"},
        {"収入計", "日計", "253,000"},   {"支出計", "食費", "5,200"},
        {"支出計", "日計", "5,200"},     {"差引計", "食費", "244,800"},
        {"差引計", "日計", "247,800"},   {"差引計", "残高", "258,300"},
    };
    for (const Cell& c : cells)
        EXPECT_EQ(cellAt(page, QString::fromUtf8(c.row), QString::fromUtf8(c.column)),
                  QString::fromUtf8(c.text))
            << c.row << " / " << c.column;

    // December 1996 begins on a Sunday: Sundays 1, 8, ..., 29 and Saturdays 7, ..., 28.
    std::vector<qreal> shaded, weekends;
    for (const PrintShade& s : page.shades)
        shaded.push_back(s.rect.center().y());
    for (int d = 1; d <= 31; ++d)
        if (d % 7 == 1 || d % 7 == 0) {
            const QString label =
                QStringLiteral("%1日(%2)")
                    .arg(d)
                    .arg(d % 7 == 1 ? QStringLiteral("日") : QStringLiteral("土"));
            const PrintText* t = findText(page, label);
            ASSERT_TRUE(t) << label.toStdString();
            weekends.push_back(t->rect.center().y());
        }
    EXPECT_EQ(shaded, weekends);

    EXPECT_TRUE(findText(page, QStringLiteral("/home/user/kakeibo")));
    EXPECT_TRUE(findText(page, QStringLiteral("1 / 1")));
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

// The diary pages' text in order, "|" for each date; checks on the way that
// a date is followed on its page by its entry's first line, that no line
// runs into the footer, and that every page is numbered.
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

TEST(MonthPrintModel, LongDiaryBreaksAcrossPagesWithoutLosingALine) {
    MonthPrintData data = december();
    QString longText;
    for (int i = 1; i <= 120; ++i)
        longText += QStringLiteral("%1行目、今日の出来事を書いた。\n").arg(i);
    longText.chop(1);
    data.diary = {{3, QStringLiteral("雨。")}, {25, longText}, {26, QStringLiteral("晴れ。")}};
    const MonthPrint print = layout(data);
    EXPECT_GE(print.pages.size(), 4u);
    EXPECT_EQ(diaryBody(print), QStringLiteral("|雨。|") +
                                    QString(longText).remove(QLatin1Char('\n')) +
                                    QStringLiteral("|晴れ。"));

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

class PrintCommands : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        form1->LedgerDir = QString::fromStdString(tmp.path());
        form1->DiaryDir = form1->LedgerDir;
        form1->Ledger.Items[1].Name = "A";
        setDate(1996, 12, 1);
        form8 = std::make_unique<TForm8>(form1.get());
        form1->setPrintHandlers([this] { form8->Print1Click(); }, [this] { form8->Pdf1Click(); });
        form7 = std::make_unique<TForm7>(form1.get());
    }
    std::unique_ptr<TForm8> form8;
    std::unique_ptr<TForm7> form7;
};

TEST_F(PrintCommands, PdfGoesWhereTheDialogSaysAndABrokenMonthIsNotPrinted) {
    EXPECT_EQ(form8->pdfDefaultPath(), QString::fromStdString(tmp.file("家計簿_1996年12月.pdf")));
    const std::string out = tmp.file("december.pdf");
    int dialogs = 0;
    Modal::setRunner([&](QDialog* d) {
        ++dialogs;
        auto* files = qobject_cast<QFileDialog*>(d);
        ASSERT_TRUE(files);
        EXPECT_EQ(files->findChild<QCheckBox*>(QStringLiteral("WithDiary"))->isChecked(), false);
        files->selectFile(QString::fromStdString(out));
        QMetaObject::invokeMethod(files, "accept", Qt::DirectConnection);
    });
    form7->Pdf1->trigger(); // the list's entry runs the main window's command
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(readBytes(out).substr(0, 5), "%PDF-");
    EXPECT_TRUE(errors.isEmpty()) << errors.join(' ').toStdString();

    writeBytes(tmp.file("199612.txt"), "A,0,x,\r\n");
    std::remove(out.c_str());
    form1->Pdf1->trigger();
    EXPECT_EQ(dialogs, 1) << "asked for a file name for a month that cannot print";
    EXPECT_EQ(errors, QStringList{QStringLiteral("'x' は整数ではありません.")});
    EXPECT_FALSE(fileExists(out));
}

TEST_F(PrintCommands, CtrlPOpensThePreviewWithTheDiaryOff) {
    QStringList seen;
    Modal::setRunner([&](QDialog* d) {
        if (auto* preview = qobject_cast<QPrintPreviewDialog*>(d)) {
            auto* box = preview->findChild<QCheckBox*>(QStringLiteral("WithDiary"));
            seen << (box && !box->isChecked() ? box->text() : QStringLiteral("no box"));
            preview->show(); // draws the pages
            preview->close();
        }
    });
    writeBytes(tmp.file("ZADUD.CFG"), "kamo1=A\r\n");
    form1->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form1.get()));
    QTest::keyClick(form1.get(), Qt::Key_P, Qt::ControlModifier);
    form7->Print1->trigger();
    EXPECT_EQ(seen, QStringList({TForm8::WithDiaryCaption, TForm8::WithDiaryCaption}));
    EXPECT_TRUE(errors.isEmpty()) << errors.join(' ').toStdString();
}

} // namespace
