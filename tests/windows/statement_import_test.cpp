#include "storage/disk_store.h"
#include "windows/statement_import_feature.h"

#include "ledger/cp932.h"
#include "ledger/statement_post.h"
#include "tests/windows/main_window_fixture.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

namespace {

class StatementImport : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        // A book read as at start: the rows are posted through it.
        writeBytes(tmp.file("ZADUD.CFG"), "ZADUD=" + tmp.path() + "\r\nMEMO=" + tmp.path() +
                                              "\r\nkamo1=" + utf8ToCp932("食費") +
                                              "\r\nkamo2=" + utf8ToCp932("日用品") + "\r\n");
        setDate(2026, 11, 5);
        ASSERT_TRUE(runGuarded([this] {
            form1->CfgRead();
            form1->LoadMonths();
        }));
        feature = std::make_unique<StatementImportFeature>();
        form1->install(*feature);
        feature->attach(*form1);
        window = feature->window();
        window->setFileAsker([this] { return QString::fromStdString(tmp.file("card.csv")); });
        // Posted through the book, as the program wires it.
        window->setPoster([this](std::vector<StatementRow>& rows, ImportSideFiles& files) {
            postStatementRows(form1->book(), rows, files);
        });
    }
    void TearDown() override {
        feature.reset();
        MainWindowFixture::TearDown();
    }
    std::string column(int c) const {
        QString out;
        for (int r = 0; r < table()->rowCount(); ++r)
            out += (c == StatementImportWindow::Tick
                        ? QString(table()->item(r, c)->checkState() == Qt::Checked ? "x" : "_")
                        : table()->item(r, c)->text()) +
                   "|";
        return out.toStdString();
    }
    void choose(QComboBox* box, int index) {
        box->setCurrentIndex(index);
        emit box->activated(index);
    }

    std::unique_ptr<StatementImportFeature> feature;
    StatementImportWindow* window = nullptr;
    QTableWidget* table() const { return window->findChild<QTableWidget*>("table"); }
};

} // namespace

TEST_F(StatementImport, MarksRowsTeachesTheChosenItemAndSavesTheCorrectedColumns) {
    // The card's own column names are unknown; the first number column is
    // the point count, which detection takes for the amount.
    writeBytes(tmp.file("card.csv"), utf8ToCp932("日付,店,ポイント,請求\r\n"
                                                 "2026/12/01,パン屋,3,300\r\n"
                                                 "2026/12/02,薬局,5,500\r\n"
                                                 "2026/12/32,誤り,1,100\r\n"
                                                 "2026/12/03,薬局,2,200\r\n"));
    writeBytes(tmp.file(ImportRulesFile), utf8ToCp932("パン屋\t食費\r\n"));
    form1->findChild<QAction*>(QStringLiteral("statementImport"))->trigger();
    ASSERT_TRUE(window->isVisible());
    QComboBox* amountColumn = window->findChild<QComboBox*>("amountColumn");
    choose(amountColumn, amountColumn->findData(3));
    EXPECT_EQ(column(StatementImportWindow::Amount), "-300|-500||-200|");
    EXPECT_EQ(column(StatementImportWindow::Tick), "x|_|_|_|");
    EXPECT_EQ(column(StatementImportWindow::State),
              "|項目なし|日付ではありません: 2026/12/32|項目なし|");

    auto* item = qobject_cast<QComboBox*>(table()->cellWidget(1, StatementImportWindow::Item));
    choose(item, item->findText("日用品"));
    // The other row of the same description follows the choice.
    EXPECT_EQ(column(StatementImportWindow::Tick), "x|x|_|x|");
    EXPECT_EQ(qobject_cast<QComboBox*>(table()->cellWidget(3, StatementImportWindow::Item))
                  ->currentText(),
              "日用品");
    window->findChild<QLineEdit*>("profileNameEdit")->setText("カードA");
    window->findChild<QPushButton*>("saveProfileButton")->click();
    EXPECT_EQ(notes, QStringList{QStringLiteral("取り込みの設定「カードA」を保存しました: ") +
                                 QString::fromStdString(tmp.file(ImportProfilesFile))});
    window->findChild<QPushButton*>("importButton")->click();
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
    // What reached the files: the amounts in their items and days, the item
    // chosen for the chemist's kept for next time.
    MonthLedger december = form1->Ledger;
    loadMonthAsEntered(disk, december, tmp.path(), {2026, 12});
    EXPECT_EQ(december.Items[1].Days[1].Expense, 300);
    EXPECT_EQ(december.Items[2].Days[2].Expense, 500);
    EXPECT_EQ(december.Items[2].Days[3].Expense, 200);
    EXPECT_EQ(
        parseImportRules(readBytes(tmp.file(ImportRulesFile))).items.at(normaliseText("薬局")),
        utf8ToCp932("日用品"));

    // The next file of that shape comes with the saved columns.
    window->openFile(QString::fromStdString(tmp.file("card.csv")));
    EXPECT_EQ(window->findChild<QLineEdit*>("profileNameEdit")->text(), "カードA");
    EXPECT_EQ(column(StatementImportWindow::Amount), "-300|-500||-200|");
}

TEST_F(StatementImport, RowsNoRulePlacesTakeTheDefaultItemUntilOneIsPicked) {
    writeBytes(tmp.file("card.csv"), utf8ToCp932("日付,店,金額\r\n"
                                                 "2026/12/01,パン屋,300\r\n"
                                                 "2026/12/02,薬局,500\r\n"));
    form1->findChild<QAction*>(QStringLiteral("statementImport"))->trigger();
    EXPECT_EQ(column(StatementImportWindow::Tick), "_|_|");
    auto* item = qobject_cast<QComboBox*>(table()->cellWidget(1, StatementImportWindow::Item));
    choose(item, item->findText("日用品"));
    QComboBox* defaultItemBox = window->findChild<QComboBox*>("defaultItemBox");
    choose(defaultItemBox, defaultItemBox->findText("食費"));
    EXPECT_EQ(column(StatementImportWindow::Tick), "x|x|");
    EXPECT_EQ(qobject_cast<QComboBox*>(table()->cellWidget(0, StatementImportWindow::Item))
                  ->currentText(),
              "食費");
    EXPECT_EQ(qobject_cast<QComboBox*>(table()->cellWidget(1, StatementImportWindow::Item))
                  ->currentText(),
              "日用品")
        << "a picked item stays";
    // Tab reaches each row's item box in turn.
    QWidget* first = table()->cellWidget(0, StatementImportWindow::Item);
    EXPECT_EQ(first->nextInFocusChain(), table()->cellWidget(1, StatementImportWindow::Item));
    EXPECT_EQ(table()->cellWidget(1, StatementImportWindow::Item)->nextInFocusChain(),
              window->findChild<QPushButton*>("importButton"));
}

TEST_F(StatementImport, ProposesTransferForALearntPayoffAndLearnsWhatTheUserSets) {
    writeBytes(tmp.file("card.csv"), utf8ToCp932("日付,摘要,金額\r\n"
                                                 "2026/12/01,パン屋,300\r\n"
                                                 "2026/12/27,ﾐﾂｲｽﾐﾄﾓｶｰﾄﾞ,30000\r\n"
                                                 "2026/12/28,ﾐﾂｲｽﾐﾄﾓｶｰﾄﾞ,500\r\n"));
    writeBytes(tmp.file(ImportRulesFile),
               utf8ToCp932("パン屋\t食費\r\nミツイスミトモカード\t日用品\t振替\r\n"));
    form1->findChild<QAction*>(QStringLiteral("statementImport"))->trigger();
    auto transfers = [this] {
        std::string out;
        for (int r = 0; r < table()->rowCount(); ++r)
            out += table()->item(r, StatementImportWindow::Transfer)->checkState() == Qt::Checked
                       ? "x|"
                       : "_|";
        return out;
    };
    EXPECT_EQ(transfers(), "_|x|x|");
    EXPECT_EQ(column(StatementImportWindow::Tick), "x|x|x|");
    // Taken off one row: the other of that description follows; set on another.
    table()->item(2, StatementImportWindow::Transfer)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(transfers(), "_|_|_|");
    table()->item(1, StatementImportWindow::Transfer)->setCheckState(Qt::Checked);
    table()->item(0, StatementImportWindow::Transfer)->setCheckState(Qt::Checked);
    EXPECT_EQ(transfers(), "x|x|_|") << "a row set apart keeps its own";
    // A row unticked is not imported, whatever its 振替.
    table()->item(1, StatementImportWindow::Tick)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(column(StatementImportWindow::Tick), "x|_|x|");
    window->findChild<QPushButton*>("importButton")->click();
    EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
    std::vector<std::string> memos;
    for (const EntryLine& l : form1->book().lines({2026, 12}))
        memos.push_back(cp932ToUtf8Lossy(l.memo));
    EXPECT_EQ(memos, (std::vector<std::string>{"パン屋 #振替", "ﾐﾂｲｽﾐﾄﾓｶｰﾄﾞ"}));
    // The last choice for a description is the one learnt.
    const ImportRules rules = parseImportRules(readBytes(tmp.file(ImportRulesFile)));
    EXPECT_TRUE(rules.transferFor(normaliseText("パン屋")));
    EXPECT_EQ(rules.items.at(normaliseText("パン屋")), utf8ToCp932("食費"));
    EXPECT_FALSE(rules.transferFor(normaliseText("ﾐﾂｲｽﾐﾄﾓｶｰﾄﾞ"))) << "its last row's";
}
