// One book on several PCs in the main window: the note while another PC has
// the book open, and files another program changes read again.
#include "ledger/month_ledger.h"
#include "ledger/pc_presence.h"
#include "tests/windows/main_window_fixture.h"
#include "tests/windows/other_pc.h"
#include "windows/sync_feature.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTreeWidget>
#include <filesystem>
#include <set>

namespace {

constexpr int64_t Now = 10000;

class SyncFeatureTest : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        std::filesystem::create_directory(tmp.file("diary"));
        writeBytes(tmp.file("ZADUD.CFG"),
                   "ZADUD=" + tmp.path() + "\r\nMEMO=" + tmp.file("diary") + "\r\nkamo1=rent\r\n");
        setDate(2024, 6, 10);
        doc->book().setPcName("own");
        doc->book().clock = [] { return std::string("2026-12-24T09:00:00"); };
        feature = std::make_unique<SyncFeature>([this] { return now; }, "own");
        form1->install(*feature);
        form1->FormActivate();
        feature->attach(*form1);
        // Questions are answered with `answer` and counted.
        Modal::setRunner([this](QDialog* d) {
            auto* box = qobject_cast<QMessageBox*>(d);
            if (!box) return d->show();
            if (box->objectName() == QStringLiteral("SyncReport")) return void(++told);
            ++questions;
            for (QAbstractButton* b : box->buttons())
                if (b->text() == answer) b->click();
        });
    }
    void TearDown() override {
        feature.reset();
        MainWindowFixture::TearDown();
    }

    QString noteText() const {
        QLabel* note = feature->note();
        return note && form1->statusBar()->isVisibleTo(form1.get()) ? note->text() : QString();
    }
    // The month file as another PC's program would write it.
    void writeMonthElsewhere(int32_t day1) {
        MonthLedger other;
        other.Items[1].Name = "rent";
        other.Items[1].Days[1].Income = day1;
        DiskStore elsewhere;
        saveMonthFile(elsewhere, other, tmp.path(), 2024, 6);
    }
    int32_t onDisk(int day) {
        MonthLedger l;
        l.Items[1].Name = "rent";
        loadMonthFile(disk, l, tmp.path(), 2024, 6, LoadMode::Current);
        return l.Items[1].Days[day].Income;
    }

    int64_t now = Now;
    std::unique_ptr<SyncFeature> feature;
    QString answer;
    int questions = 0, told = 0;
};

TEST_F(SyncFeatureTest, TheNoteNamesOtherPcsWithAFreshBeatOnly) {
    const std::string own = tmp.file(presenceFileName("own"));
    EXPECT_TRUE(fileExists(own));
    const struct {
        std::vector<Presence> beats;
        QString note;
    } cases[] = {
        {{}, {}},
        {{{"laptop", 1, Now - 10}},
         QStringLiteral("ほかの PC (laptop) でもこの家計簿が開かれています")},
        {{{"laptop", 1, Now - SyncFeature::FreshSeconds}}, {}}, // crashed: its beat is stale
        {{{"own", 1, Now}}, {}},
        {{{"laptop", 1, Now}, {"den", 1, Now - 60}},
         QStringLiteral("ほかの PC (den、laptop) でもこの家計簿が開かれています")},
        {{}, {}}, // the laptop closed normally
    };
    for (const auto& c : cases) {
        for (const char* pc : {"laptop", "den"})
            std::remove(tmp.file(presenceFileName(pc)).c_str());
        for (const Presence& p : c.beats)
            if (p.pc != "own") writeBytes(tmp.file(presenceFileName(p.pc)), presenceBytes(p));
        feature->beat();
        EXPECT_EQ(noteText(), c.note);
    }
    // Another ledger folder: the beat goes with the book.
    std::filesystem::create_directory(tmp.file("moved"));
    writeBytes(tmp.file("ZADUD.CFG"), "ZADUD=" + tmp.file("moved") +
                                          "\r\nMEMO=" + tmp.file("diary") + "\r\nkamo1=rent\r\n");
    doc->readConfiguration();
    EXPECT_FALSE(fileExists(own));
    EXPECT_TRUE(fileExists(tmp.file("moved/" + presenceFileName("own"))));
    writeBytes(tmp.file("ZADUD.CFG"),
               "ZADUD=" + tmp.path() + "\r\nMEMO=" + tmp.file("diary") + "\r\nkamo1=rent\r\n");
    doc->readConfiguration();
    // Our own beat is taken away at a normal close.
    feature.reset();
    EXPECT_FALSE(fileExists(own));
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(SyncFeatureTest, TheBeatTimerKeepsOurBeatAndTheNoteCurrent) {
    QTimer& timer = feature->beatTimer();
    EXPECT_TRUE(timer.isActive());
    EXPECT_EQ(timer.interval(), SyncFeature::BeatMs);
    const std::string laptop = tmp.file(presenceFileName("laptop"));
    const QString Open = QStringLiteral("ほかの PC (laptop) でもこの家計簿が開かれています");
    const int64_t Stale = Now + SyncFeature::FreshSeconds;
    const struct {
        int64_t now;
        int64_t laptopBeat; // written before the tick; 0 leaves the file, -1 removes it
        QString note;
    } cases[] = {
        {Now, Now, Open},
        {Stale - 1, 0, Open},
        {Stale, 0, {}}, // the laptop crashed: its last beat goes stale
        {Stale + 60, Stale + 60, Open},
        {Stale + 61, -1, {}}, // closed normally
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.now - Now);
        now = c.now;
        if (c.laptopBeat > 0) writeBytes(laptop, presenceBytes({"laptop", Now, c.laptopBeat}));
        if (c.laptopBeat < 0) std::remove(laptop.c_str());
        // The tick, as the timer gives it.
        ASSERT_TRUE(QMetaObject::invokeMethod(&timer, "timeout"));
        EXPECT_EQ(noteText(), c.note);
        Presence mine;
        ASSERT_TRUE(parsePresence(readBytes(tmp.file(presenceFileName("own"))), mine));
        EXPECT_EQ(mine.beat, c.now);
        EXPECT_EQ(mine.start, Now);
    }
}

TEST_F(SyncFeatureTest, OnlyFilesOtherProgramsChangedAreReported) {
    TempDir dir;
    writeBytes(dir.file("a.txt"), "a");
    writeBytes(dir.file("skip.csv"), "s");
    DiskWatch watch(disk, [] { return int64_t(0); });
    watch.setFilter([](const std::string& p) { return p.substr(p.size() - 4) != ".csv"; });
    std::vector<std::string> seen;
    QObject::connect(&watch, &DiskWatch::changed,
                     [&seen](const std::vector<std::string>& paths) { seen = paths; });
    watch.watch({dir.path()});
    WriteNotes ours(disk);
    ours.onWrite = [&watch](const std::string& p) { watch.noteOwnWrite(p); };
    const struct {
        std::function<void()> step;
        std::vector<std::string> reported;
    } cases[] = {
        {[] {}, {}},
        {[&] { ours.writeSafely(dir.file("a.txt"), "ours"); }, {}},
        {[&] { writeBytes(dir.file("a.txt"), "theirs"); }, {dir.file("a.txt")}},
        {[&] { writeBytes(dir.file("a.txt"), "theirs"); }, {}}, // the same bytes again
        {[&] { writeBytes(dir.file("b.txt"), "new"); }, {dir.file("b.txt")}},
        {[&] { ours.remove(dir.file("b.txt")); }, {}},
        {[&] { std::remove(dir.file("a.txt").c_str()); }, {dir.file("a.txt")}},
        {[&] { writeBytes(dir.file(".a.txt.zadud-tmp"), "half"); }, {}},
        {[&] { writeBytes(dir.file("skip.csv"), "other"); }, {}},
        {[&] {
             ours.appendDurably(dir.file("c.txt"), "1");
             writeBytes(dir.file("d.txt"), "2");
         },
         {dir.file("d.txt")}},
    };
    for (const auto& c : cases) {
        seen.clear();
        c.step();
        watch.settle();
        EXPECT_EQ(seen, c.reported);
    }
}

// Counts the files read.
class CountingStore : public ForwardingStore {
public:
    using ForwardingStore::ForwardingStore;
    int reads = 0;
    int tryRead(const std::string& path, std::string& bytes) override {
        ++reads;
        return ForwardingStore::tryRead(path, bytes);
    }
};

TEST_F(SyncFeatureTest, FilesWhoseTimeSettledLongAgoAreNotReadAgain) {
    TempDir dir;
    for (const char* name : {"a.txt", "b.txt"})
        writeBytes(dir.file(name), name);
    const int64_t written = disk.modifiedTime(dir.file("a.txt"));
    const struct {
        int64_t now; // the clock at each look
        int reads;   // files read at the second look
    } cases[] = {{written + 60, 0}, {written, 2}, {written + 2, 2}, {written + 3, 0}};
    for (const auto& c : cases) {
        CountingStore counting(disk);
        DiskWatch watch(counting, [&c] { return c.now; });
        watch.watch({dir.path()});
        watch.settle();
        counting.reads = 0;
        watch.settle();
        EXPECT_EQ(counting.reads, c.reads) << c.now - written;
    }
}

TEST_F(SyncFeatureTest, AMonthChangedOnDiskIsReadAgainKeepingWhatWasTyped) {
    const QString Overwrite = QStringLiteral("上書き"), Reload = QStringLiteral("読み直し"),
                  Cancel = QStringLiteral("ｷｬﾝｾﾙ");
    const struct {
        bool typed;          // 300 typed on day 2, not saved yet
        bool monthElsewhere; // else only the diary changed elsewhere
        QString answer;
        int questions;
        int32_t day1, day2;         // the month in memory afterwards
        int32_t fileDay1, fileDay2; // its file
        int told;                   // the merge's note on what it mended
    } cases[] = {
        {false, true, {}, 0, 500, 0, 500, 0, 0},
        {true, true, Reload, 1, 500, 0, 500, 0, 0},
        {true, true, Overwrite, 1, 100, 300, 100, 300, 0},
        {true, true, Cancel, 1, 100, 300, 500, 0, 0},
        {true, false, {}, 0, 100, 300, 100, 300, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.toStdString());
        doc->book().setAmount({2024, 6}, 1, 1, AmountField::Income, 100, ChangeSource::Typed);
        doc->save();
        feature->watch()->settle();
        if (c.typed)
            doc->book().setAmount({2024, 6}, 1, 2, AmountField::Income, 300, ChangeSource::Typed);
        if (c.monthElsewhere)
            writeMonthElsewhere(500);
        else
            writeBytes(tmp.file("diary/2024610.nik"), "elsewhere");
        questions = told = 0;
        answer = c.answer;
        feature->watch()->settle();
        EXPECT_EQ(questions, c.questions);
        EXPECT_EQ(told, c.told);
        EXPECT_EQ(doc->ledger().Items[1].Days[1].Income, c.day1);
        EXPECT_EQ(doc->ledger().Items[1].Days[2].Income, c.day2);
        EXPECT_EQ(onDisk(1), c.fileDay1);
        EXPECT_EQ(onDisk(2), c.fileDay2);
        // Back to a clean start for the next case.
        if (c.answer == Cancel) answer = Reload, doc->save();
        doc->book().setAmount({2024, 6}, 1, 2, AmountField::Income, 0, ChangeSource::Typed);
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(SyncFeatureTest, OurOwnSavesAndAnOpenWindowWaitForNothingToBeReadAgain) {
    int entered = 0;
    QObject::connect(doc.get(), &BookDocument::changedOnDisk, [&entered] { ++entered; });
    doc->book().setAmount({2024, 6}, 1, 1, AmountField::Income, 100, ChangeSource::Typed);
    doc->save();
    feature->watch()->settle();
    EXPECT_EQ(entered, 0);
    // While a window of ours is shown modally, its user's work comes first.
    QDialog open(form1.get());
    open.setModal(true);
    open.show();
    writeMonthElsewhere(500);
    feature->watch()->settle();
    EXPECT_EQ(entered, 0);
    EXPECT_EQ(doc->ledger().Items[1].Days[1].Income, 100);
    open.hide();
    feature->filesChanged({});
    EXPECT_EQ(entered, 1);
    EXPECT_EQ(doc->ledger().Items[1].Days[1].Income, 500);
}

// The same cell of December changed on this PC and on "pc-b", both from
// 1000: the other PC's month file was lost under ours, as a sync tool's
// overwrite leaves it.
void makeConflict(BookDocument& doc, const std::string& dir, int day) {
    doc.book().setAmount({2026, 12}, 1, day, AmountField::Expense, 1000, ChangeSource::Typed);
    const std::string file = dir + "/202612.txt", before = readBytes(file);
    otherPcBook(dir, {2024, 6})
        ->setAmount({2026, 12}, 1, day, AmountField::Expense, 1300, ChangeSource::Typed);
    writeBytes(file, before);
    doc.book().setAmount({2026, 12}, 1, day, AmountField::Expense, 1500, ChangeSource::Typed);
}

TEST_F(SyncFeatureTest, TheReviewSettlesEachConflictThroughTheDocument) {
    SyncReview* review = feature->window();
    ASSERT_NE(review, nullptr);
    review->fill();
    EXPECT_EQ(review->windowTitle(), QStringLiteral("同期の確認"));
    EXPECT_EQ(review->findChild<QLabel*>("caption")->text(),
              QStringLiteral("確認の必要な値はありません。"));
    const struct {
        int day;
        const char* button;
        bool first, second; // which side's change stays
    } cases[] = {
        {9, "keepFirst", true, false},
        {10, "keepSecond", false, true},
        {11, "sum", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        makeConflict(*doc, tmp.path(), c.day);
        review->fill();
        ASSERT_EQ(review->conflicts().size(), 1u);
        const SyncConflict conflict = review->conflicts()[0];
        EXPECT_EQ(std::set<int32_t>({conflict.first.amount, conflict.second.amount}),
                  std::set<int32_t>({1300, 1500}));
        QTreeWidgetItem* row = review->findChild<QTreeWidget*>("conflicts")->topLevelItem(0);
        ASSERT_NE(row, nullptr);
        const QString unit = QStringLiteral("2026/12/%1 rent 支出").arg(c.day);
        EXPECT_EQ(row->text(0), unit);
        EXPECT_EQ(row->text(1), QStringLiteral("1,000"));
        const bool ownFirst = conflict.first.pc == "own";
        EXPECT_EQ(row->text(ownFirst ? 3 : 2), QStringLiteral("1,300 (pc-b 2026-12-24 10:00)"));
        EXPECT_EQ(row->text(ownFirst ? 2 : 3), QStringLiteral("1,500 (own 2026-12-24 09:00)"));
        auto* button = review->findChild<QPushButton*>(QString::fromLatin1(c.button));
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->isEnabled());
        if (c.button != std::string("sum"))
            EXPECT_TRUE(button->text().startsWith(
                QString::fromStdString(c.first ? conflict.first.shown : conflict.second.shown)));
        QTest::mouseClick(button, Qt::LeftButton);
        const int32_t expected = 1000 + (c.first ? conflict.first.amount - 1000 : 0) +
                                 (c.second ? conflict.second.amount - 1000 : 0);
        EXPECT_EQ(doc->book().amount({2026, 12}, 1, c.day, AmountField::Expense), expected);
        EXPECT_TRUE(review->conflicts().empty());
        EXPECT_FALSE(button->isEnabled());
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(SyncFeatureTest, ANewConflictOpensTheReviewOnceAfterAMerge) {
    makeConflict(*doc, tmp.path(), 9);
    const struct {
        bool conflictBefore; // a new one made before the merge
        bool monthElsewhere; // the merge comes from a month changed on disk
        bool shown;
    } cases[] = {
        {false, false, true}, {false, false, false}, {false, true, false}, {true, false, true}};
    for (const auto& c : cases) {
        if (c.conflictBefore) makeConflict(*doc, tmp.path(), 12);
        feature->window()->hide();
        if (c.monthElsewhere) {
            writeMonthElsewhere(700);
            feature->watch()->settle();
        } else {
            doc->sync();
            feature->filesChanged({}); // what the merge found is offered now
        }
        EXPECT_EQ(feature->window()->isVisible(), c.shown);
    }
    EXPECT_EQ(feature->window()->conflicts().size(), 2u);
}

TEST_F(SyncFeatureTest, WhatAMergeMendedIsSaidOnce) {
    // "pc-b" changed December's day 9 to 1300; the file came back with our
    // older copy's 1000.
    doc->book().setAmount({2026, 12}, 1, 9, AmountField::Expense, 1000, ChangeSource::Typed);
    const std::string file = tmp.file("202612.txt"), before = readBytes(file);
    otherPcBook(tmp.path(), {2024, 6})
        ->setAmount({2026, 12}, 1, 9, AmountField::Expense, 1300, ChangeSource::Typed);
    writeBytes(file, before);
    for (int told : {1, 1}) {
        doc->sync();
        feature->filesChanged({});
        EXPECT_EQ(this->told, told);
    }
    EXPECT_EQ(doc->book().amount({2026, 12}, 1, 9, AmountField::Expense), 1300);
    EXPECT_FALSE(feature->window()->isVisible());
}

} // namespace
