#include "storage/disk_store.h"
#include "windows/diary_search_feature.h"

#include "ledger/errors.h"
#include "tests/windows/main_window_fixture.h"
#include "windows/nikki.h"

#include <QAction>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTreeWidget>
#include <atomic>
#include <cerrno>
#include <thread>

namespace {

class DiarySearchTest : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        diary = tmp.file("diary");
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(diary)));
        writeBytes(tmp.file("ZADUD.CFG"), "ZADUD=" + tmp.path() + "\r\nMEMO=" + diary + "\r\n");
        form3 = std::make_unique<TForm3>(form1.get());
        form1->setDiary(form3.get());
        form1->install(feature);
        feature.attach(*form1);
        search = feature.window();
        spy = std::make_unique<QSignalSpy>(search, &DiarySearchWindow::resultsShown);
    }
    void TearDown() override {
        DiarySearchWindow::setSearchFunction(nullptr);
        form3->hide();
        search->hide();
        MainWindowFixture::TearDown();
    }
    void waitForList() {
        ASSERT_TRUE(spy->count() > 0 || spy->wait(10000));
        spy->clear();
    }
    // The list as one text, a row a line.
    std::string rows() const {
        QString out;
        for (int i = 0; i < resultList()->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = resultList()->topLevelItem(i);
            out += item->text(0) + " " + item->text(1) + "\n";
        }
        return out.toStdString();
    }

    std::string diary;
    std::unique_ptr<TForm3> form3;
    DiarySearchFeature feature;
    DiarySearchWindow* search = nullptr;
    QLineEdit* queryEdit() const { return search->findChild<QLineEdit*>("queryEdit"); }
    QTreeWidget* resultList() const { return search->findChild<QTreeWidget*>("resultList"); }
    std::unique_ptr<QSignalSpy> spy;
};

} // namespace

TEST_F(DiarySearchTest, HalfWidthQueryFindsTheDayAndEnterOpensItsDiary) {
    // December 1997: an entry opening with blank lines, an empty file the
    // diary window left behind, and a file that cannot be read.
    writeBytes(diary + "/1997128.nik", "\r\n\x81\x40\r\n\x8Et\x91\x96\r\n");
    writeBytes(diary + "/1997129.nik", "");
    writeBytes(diary + "/19971210.nik", "x\r\n");
    disk.setFaults([](const std::string& path, const std::string& step) {
        return step == "read" && path.find("19971210") != std::string::npos ? EACCES : 0;
    });
    // 朝 / 買い物：カタカナ, on 15 January 1998 (a padded name).
    writeBytes(diary + "/19980115.nik",
               "\x92\xA9\r\n\x94\x83\x82\xA2\x95\xA8\x81\x46\x83J\x83^\x83J\x83i\r\n");
    setDate(1997, 12, 1);
    form1->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form1.get()));
    QTest::keyClick(form1.get(), Qt::Key_D, Qt::ControlModifier);
    ASSERT_TRUE(search->isVisible());
    EXPECT_TRUE(queryEdit()->isClearButtonEnabled()) << "set up at the first showing";
    waitForList();
    const std::string unreadable =
        std::string("1997年12月10日(水) 読み込めません (19971210.nik): ") + msg::AccessDenied +
        "\n";
    EXPECT_EQ(rows(), unreadable + "1997年12月8日(月) 師走\n");

    // Japanese text arrives from the input method as a committed string.
    QInputMethodEvent typed;
    typed.setCommitString(QStringLiteral("ｶﾀｶﾅ"));
    QApplication::sendEvent(queryEdit(), &typed);
    waitForList();
    ASSERT_EQ(rows(), "1998年1月15日(木) 買い物：カタカナ\n" + unreadable);
    const auto marks = search->findChild<QPlainTextEdit*>("preview")->extraSelections();
    ASSERT_EQ(marks.size(), 1);
    EXPECT_EQ(marks[0].cursor.selectedText(), QStringLiteral("カタカナ"));

    // Down and Up in the box walk the list; the box keeps the keys.
    QTest::keyClick(queryEdit(), Qt::Key_Down);
    EXPECT_EQ(resultList()->indexOfTopLevelItem(resultList()->currentItem()), 1);
    QTest::keyClick(queryEdit(), Qt::Key_Up);
    EXPECT_EQ(resultList()->indexOfTopLevelItem(resultList()->currentItem()), 0);
    EXPECT_TRUE(queryEdit()->hasFocus());
    QTest::keyClick(queryEdit(), Qt::Key_Return);
    EXPECT_EQ(form1->mc->Year() * 10000 + form1->mc->Month() * 100 + form1->mc->Day(), 19980115);
    ASSERT_TRUE(form3->isVisible());
    EXPECT_EQ(form3->Memo1->toPlainText(), QStringLiteral("朝\n買い物：カタカナ"));
    EXPECT_TRUE(errors.isEmpty()) << errors.join(' ').toStdString();
}

TEST_F(DiarySearchTest, ANewKeystrokeCancelsTheSearchInFlight) {
    // The search for "a" holds on until released, as a long one would.
    auto inFlight = std::make_shared<std::atomic<const std::atomic<bool>*>>(nullptr);
    auto release = std::make_shared<std::atomic<bool>>(false);
    DiarySearchWindow::setSearchFunction(
        [=](const std::string&, const std::string& query, const std::atomic<bool>* cancel) {
            if (query == "a") {
                *inFlight = cancel;
                while (!*release)
                    std::this_thread::yield();
            }
            return std::vector<DiaryHit>{};
        });
    search->show();
    waitForList();
    QTest::keyClick(queryEdit(), Qt::Key_A);
    const bool started = QTest::qWaitFor([&] { return inFlight->load() != nullptr; }, 10000);
    const bool cancelledBefore = started && inFlight->load()->load();
    QTest::keyClick(queryEdit(), Qt::Key_B);
    const bool cancelledAfter = started && inFlight->load()->load();
    *release = true;
    ASSERT_TRUE(started);
    EXPECT_FALSE(cancelledBefore);
    EXPECT_TRUE(cancelledAfter);
    waitForList();
    EXPECT_EQ(search->findChild<QLabel*>("statusLabel")->text().toStdString(), "見つかりません");
    // Ctrl+X is the window's 終了, not the box's cut.
    queryEdit()->selectAll();
    QTest::keyClick(queryEdit(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_FALSE(search->isVisible());
    EXPECT_EQ(queryEdit()->text(), QStringLiteral("ab"));
}
