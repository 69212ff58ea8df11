#include "windows/help_window.h"

#include "ledger/errors.h"
#include "shell/zadud.h"
#include "tests/support/test_support.h"

#include <QAction>
#include <QDir>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

namespace {

// The shipped document in the source tree.
QString shippedHelp() {
    return QStringLiteral(ZADUD_SOURCE_DIR "/help/Zadud.hlp");
}

void makeDir(const std::string& path) {
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(path)));
}

TEST(HelpLookup, BareNameInWorkingThenProgramDirectoryWithoutCase) {
    TempDir tmp;
    const std::string work = tmp.file("work"), program = tmp.file("program");
    makeDir(work);
    makeDir(program);
    const QStringList dirs = {QString::fromStdString(work), QString::fromStdString(program)};
    auto find = [&](const QString& setting) {
        const QString found = findHelpFile(setting, dirs);
        return found.isEmpty() ? std::string() : found.toStdString();
    };

    EXPECT_EQ(find("zadud.HLP"), "");
    writeBytes(program + "/Zadud.hlp", "<html></html>");
    EXPECT_EQ(find("zadud.HLP"), program + "/Zadud.hlp");
    writeBytes(work + "/ZADUD.hlp", "<html></html>");
    EXPECT_EQ(find("zadud.HLP"), work + "/ZADUD.hlp") << "the working directory comes first";
    writeBytes(work + "/zadud.HLP", "<html></html>");
    EXPECT_EQ(find("zadud.HLP"), work + "/zadud.HLP") << "an exact match wins";

    // The absolute setting of start-up looks only in its own directory.
    EXPECT_EQ(find(QString::fromStdString(program + "/ZADUD.HLP")), program + "/Zadud.hlp");
    EXPECT_EQ(find(QString::fromStdString(tmp.file("elsewhere/Zadud.hlp"))), "");
    EXPECT_EQ(find("other.hlp"), "");
    EXPECT_EQ(find(""), "");
}

class HelpCommand : public ::testing::Test {
protected:
    void SetUp() override {
        makeDir(tmp.file("work"));
        makeDir(tmp.file("program"));
        QDir::setCurrent(QString::fromStdString(tmp.file("work")));
        form1 = std::make_unique<TForm1>();
        form1->setHelpFile(QString::fromStdString(tmp.file("program/Zadud.hlp")));
        help = std::make_unique<HelpWindow>(form1.get());
        help->setProgramDir(QString::fromStdString(tmp.file("program")));
        form1->setHelpHandler([this](const QString& f) {
            requested << f;
            help->showContents(f);
        });
    }
    void TearDown() override {
        help->hide();
        QDir::setCurrent(QDir::tempPath());
    }
    QTextBrowser* browser() const { return help->findChild<QTextBrowser*>("browser"); }
    QString page() const { return browser()->toPlainText(); }

    TempDir tmp;
    std::unique_ptr<TForm1> form1;
    std::unique_ptr<HelpWindow> help;
    QStringList requested;
};

TEST_F(HelpCommand, OpensTheShippedDocumentOnItsContentsTopic) {
    ASSERT_TRUE(QFile::copy(shippedHelp(), QString::fromStdString(tmp.file("program/Zadud.hlp"))));
    ASSERT_TRUE(form1->K3->isEnabled());
    form1->K3->trigger();
    EXPECT_EQ(requested, QStringList{"zadud.HLP"});
    EXPECT_EQ(form1->helpFile(), "zadud.HLP") << "the absolute path of start-up is not used again";
    ASSERT_TRUE(help->isVisible());
    EXPECT_EQ(help->shownFile().toStdString(), tmp.file("program/Zadud.hlp"));
    EXPECT_EQ(browser()->source().fragment(), HelpWindow::ContentsTopic);
    EXPECT_TRUE(page().startsWith("家計簿 Ver 1.3 ヘルプ ― 目次")) << page().left(40).toStdString();

    // Wander off to a topic; the next request opens the contents again.
    QScrollBar* bar = browser()->verticalScrollBar();
    const int atContents = bar->value();
    browser()->setSource(QUrl("#diaryfile"));
    ASSERT_GT(bar->value(), atContents + 100);
    form1->K3->trigger();
    EXPECT_EQ(browser()->source().fragment(), HelpWindow::ContentsTopic);
    EXPECT_EQ(bar->value(), atContents);
}

TEST_F(HelpCommand, MissingOrUnreadableDocumentIsReportedInTheHelpWindow) {
    form1->K3->trigger();
    ASSERT_TRUE(help->isVisible());
    EXPECT_TRUE(help->shownFile().isEmpty());
    EXPECT_TRUE(page().contains("ﾍﾙﾌﾟﾌｧｲﾙ zadud.HLP が見つかりません")) << page().toStdString();

    writeBytes(tmp.file("work/zadud.hlp"), "");
    form1->K3->trigger();
    EXPECT_TRUE(page().contains("を読み込めません")) << page().toStdString();
    EXPECT_TRUE(help->shownFile().isEmpty());
}

TEST(HelpDocument, CoversEveryWindowTheKeysAndTheFileFormats) {
    QFile file(shippedHelp());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(file.readAll());
    for (const char* topic : {"日計",         "金額入力",       "月別一覧",
                              "日記",         "家計簿環境設定", "ﾊﾞｰｼﾞｮﾝ情報",
                              "ﾄﾋﾟｯｸ検索",    "Ctrl+S",         "Ctrl+X",
                              "Ctrl+K",       "Ctrl+N",         "Ctrl+H",
                              "Ctrl+V",       "199612.txt",     "199837.nik",
                              "19980115.nik", "ZADUD=",         "MEMO=",
                              "kamo",         "日記検索",       "Ctrl+D",
                              "--search",     "年間一覧",       "定期入力",
                              "予算設定",     "明細の取り込み", "バックアップから復元",
                              "変更履歴",     "文字の大きさ"})
        EXPECT_TRUE(html.contains(QString::fromUtf8(topic))) << topic;

    // Every section is listed in the contents.
    const QString contents = html.section(QStringLiteral("<h2"), 0, 0);
    for (const auto& m : QRegularExpression(R"re(<h2><a name="([^"]+)")re").globalMatch(html))
        EXPECT_TRUE(contents.contains(QStringLiteral("href=\"#%1\"").arg(m.captured(1))))
            << m.captured(1).toStdString();

    // The error section lists the messages of a read-only month.
    for (const char* message : {msg::HeldUnread, msg::HeldPrevious, msg::HeldTotals})
        for (const QString& part : QString::fromUtf8(message).split(QStringLiteral("%s")))
            EXPECT_TRUE(html.contains(part)) << message;

    // Every link inside the document reaches an anchor of it.
    QSet<QString> anchors;
    for (const auto& m : QRegularExpression(R"re(<a name="([^"]+)")re").globalMatch(html))
        anchors << m.captured(1);
    EXPECT_TRUE(anchors.contains(HelpWindow::ContentsTopic));
    int links = 0;
    for (const auto& m : QRegularExpression(R"re(href="#([^"]+)")re").globalMatch(html)) {
        ++links;
        EXPECT_TRUE(anchors.contains(m.captured(1))) << m.captured(1).toStdString();
    }
    EXPECT_GT(links, 10);
}

} // namespace
