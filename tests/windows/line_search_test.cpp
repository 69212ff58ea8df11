#include "windows/line_search_feature.h"

#include "ledger/cp932.h"
#include "ledger/entry_lines.h"
#include "tests/windows/main_window_fixture.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTreeWidget>

namespace {

EntryLine line(int day, const char* item, int32_t amount, const char* memo,
               LineSide side = LineSide::Expense) {
    EntryLine l;
    l.day = day;
    l.item = utf8ToCp932(item);
    l.amount = amount;
    l.memo = utf8ToCp932(memo);
    l.side = side;
    return l;
}

class LineSearchTest : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        writeBytes(tmp.file("ZADUD.CFG"),
                   "ZADUD=" + tmp.path() + "\r\n" + utf8ToCp932("kamo1=食費\r\nkamo2=給与\r\n"));
        writeBytes(tmp.file("202611.lin"),
                   formatLineFile({line(3, "食費", 5000, "旅館 #旅行 #実家"),
                                   line(20, "食費", 1280, "ﾄﾞﾗｯｸﾞｽﾄｱ 洗剤")},
                                  2026, 11));
        writeBytes(tmp.file("202612.lin"),
                   formatLineFile({line(4, "食費", 980, "ドラッグストア #旅行"),
                                   line(25, "給与", 300000, "会社", LineSide::Income)},
                                  2026, 12));
        setDate(2026, 12, 24);
        form1->install(feature);
        feature.attach(*form1);
        search = feature.window();
        spy = std::make_unique<QSignalSpy>(search, &LineSearchWindow::resultsShown);
    }
    void TearDown() override {
        search->hide();
        MainWindowFixture::TearDown();
    }
    // Types the query and waits for its list, a row a line.
    std::string find(const QString& query) {
        spy->clear();
        search->findChild<QLineEdit*>("queryEdit")->setText(query);
        search->searchNow();
        EXPECT_TRUE(spy->count() > 0 || spy->wait(10000));
        QString out;
        for (int i = 0; i < resultList()->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = resultList()->topLevelItem(i);
            out += item->text(0) + " " + item->text(1) + " " + item->text(2) + " " + item->text(3) +
                   "\n";
        }
        return out.toStdString();
    }

    LineSearchFeature feature;
    LineSearchWindow* search = nullptr;
    QTreeWidget* resultList() const { return search->findChild<QTreeWidget*>("resultList"); }
    QLabel* totals() const { return search->findChild<QLabel*>("totalsLabel"); }
    std::unique_ptr<QSignalSpy> spy;
};

TEST_F(LineSearchTest, FindsLinesNewestFirstWithTotalsPerTag) {
    const QAction* entry = form1->findChild<QAction*>(QStringLiteral("lineSearch"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    Modal::exec(search);
    EXPECT_EQ(find(QStringLiteral("どらっぐすとあ")), "");
    EXPECT_EQ(find(QStringLiteral("ドラッグストア")), "2026-12-04 食費 980 ドラッグストア #旅行\n"
                                                      "2026-11-20 食費 1,280 ﾄﾞﾗｯｸﾞｽﾄｱ 洗剤\n");
    EXPECT_EQ(find(QStringLiteral("#旅行")), "2026-12-04 食費 980 ドラッグストア #旅行\n"
                                             "2026-11-03 食費 5,000 旅館 #旅行 #実家\n");
    // A line with two tags counts once in the total.
    EXPECT_EQ(totals()->text().toStdString(),
              "合計 2 件  支出 5,980\n#旅行  2 件  支出 5,980\n#実家  1 件  支出 5,000");
    EXPECT_EQ(find(QStringLiteral(">1000 2026-12")), "2026-12-25 給与 +300,000 会社\n");
    EXPECT_EQ(totals()->text().toStdString(), "合計 1 件  収入 300,000");
    EXPECT_EQ(find(QStringLiteral("2000-1000")), "");
    EXPECT_EQ(search->findChild<QLabel*>("statusLabel")->text(),
              QStringLiteral("「2000-1000」 は始めと終わりが逆です"));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(LineSearchTest, EnterMovesTheCalendarToTheLinesDay) {
    Modal::exec(search);
    find(QStringLiteral("洗剤"));
    ASSERT_EQ(resultList()->topLevelItemCount(), 1);
    // The sheet itself is the main window's; here it is only the date.
    search->openSelectedDay();
    EXPECT_EQ(form1->document().date(), QDate(2026, 11, 20));
}

} // namespace
