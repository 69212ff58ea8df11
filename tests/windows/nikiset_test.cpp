#include "storage/disk_store.h"
#include "storage/pc_name.h"
#include "windows/nikiset.h"

#include "controls/dir_list.h"
#include "controls/drive_list.h"
#include "ledger/backup_store.h"
#include "ledger/config_file.h"
#include "ledger/cp932.h"
#include "ledger/text_file.h"
#include "shell/calendar.h"
#include "shell/close_question.h"
#include "shell/error_box.h"
#include "shell/zadud.h"
#include "tests/support/test_support.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <cerrno>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace {

const std::string Shokuhi = "\x90H\x94\xef"; // 食費 in CP932

// The settings dialog over a main window started in a temporary folder that
// holds "ledger" and "diary"; error boxes are recorded.
class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override {
        oldDir_ = QDir::currentPath();
        start = QString::fromStdString(dir_.path());
        QDir::setCurrent(start);
        ASSERT_TRUE(QDir(start).mkpath("ledger/sub"));
        ASSERT_TRUE(QDir(start).mkpath("diary"));
        ledger = start + "/ledger";
        diary = start + "/diary";
        cfg = dir_.file("ZADUD.CFG");
        ErrorBox::setRecorder([this](const QString& text) { errors << text; });
        // Questions are answered with `answer` and recorded.
        Modal::setRunner([this](QDialog* d) {
            auto* box = qobject_cast<QMessageBox*>(d);
            ASSERT_TRUE(box);
            asked << box->objectName();
            box->done(answer);
        });
        doc_ = std::make_unique<BookDocument>(QDir::currentPath().toStdString(), disk);
        form1 = std::make_unique<TForm1>(*doc_);
        form4 = std::make_unique<TForm4>(form1.get());
    }
    void TearDown() override {
        Modal::setRunner(nullptr);
        disk.setFaults(nullptr);
        ::chmod(cfg.c_str(), 0644);
        form4.reset();
        form1.reset();
        ErrorBox::setRecorder(nullptr);
        QDir::setCurrent(oldDir_);
    }

    // Start-up as the main window does it: the reader checks each location on
    // the dialog's lists.
    void readConfigFile() {
        form1->document().setLocationChecks(
            [this](const QString& p) { return form4->checkLedgerLocation(p); },
            [this](const QString& p) { return form4->checkDiaryLocation(p); });
        runGuarded([this] { form1->CfgRead(); });
    }

    void open() {
        form4->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form4.get()));
    }
    QLineEdit* edit(const char* name) { return form4->findChild<QLineEdit*>(name); }
    void retype(QLineEdit* e, const QString& text) {
        e->setFocus();
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Backspace);
        bool ascii = true;
        for (QChar c : text)
            ascii = ascii && c.unicode() < 0x80;
        if (ascii) {
            QTest::keyClicks(e, text);
        } else {
            // Japanese arrives from the input method, not as key presses.
            QInputMethodEvent commit;
            commit.setCommitString(text);
            QApplication::sendEvent(e, &commit);
        }
    }
    // Replaces the box's text by a paste from the clipboard.
    void paste(QLineEdit* e, const QString& text) {
        QApplication::clipboard()->setText(text);
        e->setFocus();
        e->selectAll();
        QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);
    }
    void click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
    void doubleClickDir(DirList* list, const QString& name) {
        for (int row = 0; row < list->count(); ++row) {
            if (list->item(row)->text() != name) continue;
            const QRect r = list->visualItemRect(list->item(row));
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
            return;
        }
        ADD_FAILURE() << "no entry " << name.toStdString();
    }

    TempDir dir_;
    QString oldDir_, start, ledger, diary;
    std::string cfg;
    QStringList errors;
    std::unique_ptr<BookDocument> doc_;
    QStringList asked;
    int answer = QMessageBox::Yes;
    std::unique_ptr<TForm1> form1;
    std::unique_ptr<TForm4> form4;
};

TEST_F(SettingsDialog, FirstShowingShowsConfiguredLocationsAndNames) {
    writeBytes(cfg, "ZADUD=" + ledger.toStdString() + "\r\nMEMO=" + start.toStdString() +
                        "/gone\r\nkamo1=" + Shokuhi + "\r\nkamo12=z\r\n");
    readConfigFile();
    EXPECT_EQ(form1->LedgerDir, ledger);
    EXPECT_EQ(form1->DiaryDir, start) << "a missing location falls back";
    form4->pgc->setCurrentIndex(2);
    open();
    EXPECT_EQ(form4->pgc->currentWidget(), form4->TabSheet1);
    EXPECT_EQ(form4->devfl->directory(), ledger);
    EXPECT_EQ(edit("Edit1")->text(), ledger);
    EXPECT_EQ(edit("Edit2")->text(), start);
    EXPECT_EQ(edit("Edit3")->text(), "食費");
    EXPECT_EQ(edit("Edit14")->text(), "z");
    for (int n = 4; n <= 13; ++n)
        EXPECT_EQ(form4->findEdit(n)->text(), "") << n;
    EXPECT_EQ(form4->findEdit(5), edit("Edit5"));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(SettingsDialog, BrowsingThenCancellingWritesNothingButIsRemembered) {
    ASSERT_TRUE(form4->checkLedgerLocation(ledger));
    form1->LedgerDir = ledger;
    open();
    doubleClickDir(form4->devfl, "sub");
    EXPECT_EQ(edit("Edit1")->text(), ledger + "/sub");
    click(form4->Button2);
    EXPECT_FALSE(form4->isVisible());
    EXPECT_FALSE(fileExists(cfg));
    EXPECT_EQ(form1->LedgerDir, ledger);

    open();
    EXPECT_EQ(edit("Edit1")->text(), ledger + "/sub");
    click(form4->Button1);
    EXPECT_FALSE(form4->isVisible());
    EXPECT_EQ(readBytes(cfg),
              "ZADUD=" + ledger.toStdString() + "/sub\r\nMEMO=" + start.toStdString() + "\r\n");
    EXPECT_EQ(form1->LedgerDir, ledger + "/sub");
}

TEST_F(SettingsDialog, TypedPathIsWrittenAsTypedAndNextShowingRefillsFromList) {
    open();
    retype(edit("Edit1"), "/no/such place=x");
    QTest::keyClick(edit("Edit1"), Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(form4->isVisible());
    EXPECT_EQ(readBytes(cfg), "ZADUD=/no/such place=x\r\nMEMO=" + start.toStdString() + "\r\n");
    EXPECT_EQ(form1->LedgerDir, "/no/such place=x");
    open();
    EXPECT_EQ(edit("Edit1")->text(), form4->devfl->directory());
}

TEST_F(SettingsDialog, BackupPageWritesItsSideFileInTheLedgerFolderAndShowsItAgain) {
    open();
    EXPECT_EQ(form4->AllDays->value(), 7); // the defaults, without a file
    form4->pgc->setCurrentWidget(form4->TabSheet4);
    retype(form4->BackupFolder, "/media/usb/kakeibo");
    form4->AllDays->setValue(14);
    form4->MonthlyMonths->setValue(24);
    QTest::mouseClick(form4->Button1, Qt::LeftButton);
    // This PC's own file: another PC sharing the folder has its own.
    const BackupSettings s =
        readBackupSettings(disk, form1->LedgerDir.toStdString(), nullptr, localPcName());
    EXPECT_FALSE(fileExists(form1->LedgerDir.toStdString() + "/" + BackupSettingsFileName));
    EXPECT_EQ(s.folder, "/media/usb/kakeibo");
    EXPECT_EQ(s.keep, (KeepRules{14, 3, 24}));
    open();
    EXPECT_EQ(form4->AllDays->value(), 14);
    EXPECT_EQ(form4->BackupFolder->text(), "/media/usb/kakeibo");
    // The page says where this PC's backups go, as the folder is typed.
    const QString pc = QString::fromStdString(localPcName());
    const QString own = QStringLiteral("\n(この PC 専用のﾌｫﾙﾀﾞです)");
    EXPECT_EQ(form4->BackupPlace->text(),
              QStringLiteral("バックアップの保存先: /media/usb/kakeibo/") + pc + own);
    retype(form4->BackupFolder, "");
    EXPECT_EQ(form4->BackupPlace->text(), QStringLiteral("バックアップの保存先: ") +
                                              form1->StartDir + QStringLiteral("/backup/") + pc +
                                              own);
}

TEST_F(SettingsDialog, EmptiedItemLeavesFileButMainWindowKeepsName) {
    form1->Ledger.Items[1].Name = "A";
    form1->Ledger.Items[2].Name = Shokuhi;
    open();
    retype(edit("Edit3"), "");
    click(form4->Button1);
    EXPECT_EQ(readBytes(cfg), "ZADUD=" + start.toStdString() + "\r\nMEMO=" + start.toStdString() +
                                  "\r\nkamo2=" + Shokuhi + "\r\n");
    EXPECT_EQ(form1->Ledger.Items[1].Name, "A");
    open();
    EXPECT_EQ(edit("Edit3")->text(), "A");
}

TEST_F(SettingsDialog, RefusedWriteKeepsFileMainWindowAndDialog) {
    const std::string old = "ZADUD=" + ledger.toStdString() + "\r\nkamo1=A\r\n";
    const struct {
        const char* title;
        std::function<void()> prepare;
        QString error;
    } cases[] = {
        {"disk full",
         [] {
             disk.setFaults([](const std::string&, const std::string& step) {
                 return step == "write" ? ENOSPC : 0;
             });
         },
         "ﾃﾞｨｽｸがいっぱいです."},
        {"read-only file", [this] { ::chmod(cfg.c_str(), 0444); }, "ﾌｧｲﾙへのｱｸｾｽが拒否されました."},
        {"comma in a name", [this] { retype(edit("Edit5"), "a,b"); },
         "項目3「a,b」の名前に \",\" は使えません."},
        {"a name given twice", [this] { retype(edit("Edit14"), "B"); },
         "項目12「B」は項目1と同じ名前です."},
        {"a name kept by an emptied item",
         [this] {
             retype(edit("Edit3"), "");
             retype(edit("Edit6"), "A");
         },
         "項目4「A」は項目1と同じ名前です."},
        {"line end pasted into a name", [this] { paste(edit("Edit5"), "x\r\nZADUD=/y"); },
         "項目3の名前に制御文字 CR (U+000D) は使えません."},
        {"tab pasted into a location", [this] { paste(edit("Edit2"), "/tmp/a\tb"); },
         "日記帳の格納場所に制御文字 TAB (U+0009) は使えません."},
        {"location that reads back as another folder",
         [this] { retype(edit("Edit1"), start + "/家計簿〜2024"); },
         "家計簿の格納場所の「〜」(U+301C) は Shift-JIS で「～」(U+FF5E) に変わります."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        errors.clear();
        ::chmod(cfg.c_str(), 0644);
        writeBytes(cfg, old);
        form1->Ledger.Items[1].Name = "A";
        form1->LedgerDir = ledger;
        open();
        retype(edit("Edit1"), "/elsewhere");
        retype(edit("Edit3"), "B");
        c.prepare();
        click(form4->Button1);
        disk.setFaults(nullptr);
        EXPECT_EQ(errors, QStringList{c.error});
        EXPECT_TRUE(form4->isVisible());
        EXPECT_EQ(readBytes(cfg), old);
        EXPECT_EQ(form1->LedgerDir, ledger);
        EXPECT_EQ(form1->Ledger.Items[1].Name, "A");
        click(form4->Button2);
    }
}

// Codes of the NEC and IBM extensions encode back to another code; a name
// that was not edited keeps its bytes, so its month-file lines still match.
TEST_F(SettingsDialog, UneditedNamesKeepTheirBytes) {
    const std::string takahashi = "\xee\xe0\x8b\xb4";          // 髙橋 with the NEC-selected 髙
    const std::string nearly = "\x87\x90", roman = "\xfa\x4a"; // ≒ Ⅰ
    writeBytes(cfg, "ZADUD=" + ledger.toStdString() + "\r\nMEMO=" + diary.toStdString() +
                        "\r\nkamo1=" + takahashi + "\r\nkamo2=" + nearly + "\r\nkamo3=" + roman +
                        "\r\nkamo4=" + roman + "\r\n");
    readConfigFile();
    open();
    retype(edit("Edit6"), "Ⅰ髙"); // an edited name is encoded as usual
    click(form4->Button1);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("|").toStdString();
    EXPECT_EQ(readBytes(cfg), "ZADUD=" + ledger.toStdString() + "\r\nMEMO=" + diary.toStdString() +
                                  "\r\nkamo1=" + takahashi + "\r\nkamo2=" + nearly +
                                  "\r\nkamo3=" + roman + "\r\nkamo4=\x87\x54\xfb\xfc\r\n");
    EXPECT_EQ(form1->Ledger.Items[1].Name, takahashi);
}

// Every way out without saving asks once something was typed; いいえ keeps
// the dialog and the text, はい closes it without writing. Ctrl+X is the
// menu's key there, not cut.
TEST_F(SettingsDialog, ClosingWithTypedTextAsksFirst) {
    const struct {
        const char* way;
        std::function<void(QLineEdit*)> close;
    } ways[] = {
        {"Ctrl+X", [](QLineEdit* e) { QTest::keyClick(e, Qt::Key_X, Qt::ControlModifier); }},
        {"menu", [this](QLineEdit*) { form4->Exit1->trigger(); }},
        {"キャンセル", [this](QLineEdit*) { click(form4->Button2); }},
        {"close box", [this](QLineEdit*) { form4->close(); }},
    };
    form1->Ledger.Items[1].Name = "A";
    for (const auto& w : ways) {
        SCOPED_TRACE(w.way);
        open();
        // Untouched, or typed back to what it was: nothing to ask.
        QLineEdit* e = edit("Edit3");
        retype(e, "A");
        w.close(e);
        EXPECT_FALSE(form4->isVisible());
        EXPECT_TRUE(asked.isEmpty());

        open();
        form4->pgc->setCurrentWidget(form4->TabSheet3);
        retype(e, "keep");
        e->selectAll();
        answer = QMessageBox::No;
        w.close(e);
        EXPECT_EQ(asked, QStringList{CloseQuestion::Name});
        EXPECT_TRUE(form4->isVisible());
        EXPECT_EQ(e->text(), "keep");

        answer = QMessageBox::Yes;
        w.close(e);
        EXPECT_FALSE(form4->isVisible());
        EXPECT_FALSE(fileExists(cfg));
        EXPECT_EQ(form1->Ledger.Items[1].Name, "A");
        asked.clear();
    }
    // A path typed over the list's folder counts; the folder picked does not.
    open();
    retype(edit("Edit2"), "/typed");
    answer = QMessageBox::No;
    click(form4->Button2);
    EXPECT_EQ(asked.size(), 1);
    EXPECT_TRUE(form4->isVisible());
}

TEST_F(SettingsDialog, EnterAndEscPressNoButton) {
    open();
    for (QWidget* w :
         {static_cast<QWidget*>(edit("Edit1")), static_cast<QWidget*>(form4->Button1)}) {
        w->setFocus();
        QTest::keyClick(w, Qt::Key_Return);
        QTest::keyClick(w, Qt::Key_Escape);
        EXPECT_TRUE(form4->isVisible());
    }
    EXPECT_FALSE(fileExists(cfg));
}

TEST_F(SettingsDialog, ChoosingAnotherDrivePutsItsDirectoryIntoTheEdit) {
    const QStringList roots{"/", ledger};
    for (DriveList* d : {form4->devnm, form4->devnm2})
        d->setRoots(roots);
    for (DirList* d : {form4->devfl, form4->devfl2})
        d->setRoots(roots);
    open();
    EXPECT_EQ(edit("Edit1")->text(), start);
    form4->devnm->setFocus();
    QTest::keyClick(form4->devnm, Qt::Key_Down);
    EXPECT_EQ(form4->devfl->directory(), ledger);
    EXPECT_EQ(edit("Edit1")->text(), ledger);
    EXPECT_EQ(form4->devfl2->directory(), start) << "the diary page keeps its own";
}

TEST_F(SettingsDialog, ConfirmingAfterFailedStartLoadsMonthInsteadOfEmptyingIt) {
    // The month file that a save of the month read without names would empty.
    std::string month = Shokuhi + ",0,00000100,";
    for (int i = 0; i < 30; ++i)
        month += "00000000,";
    month += "00000100,\r\n";
    const std::string monthPath = (ledger + "/20245.txt").toStdString();
    for (const bool movedFirst : {false, true}) {
        SCOPED_TRACE(movedFirst ? "moved away and back first" : "straight after start");
        form4.reset();
        doc_ = std::make_unique<BookDocument>(QDir::currentPath().toStdString(), disk);
        form1 = std::make_unique<TForm1>(*doc_);
        form4 = std::make_unique<TForm4>(form1.get());
        errors.clear();
        writeBytes(monthPath, month);
        form1->mc->setDay(1);
        form1->mc->setYear(2024);
        form1->mc->setMonth(5);
        readConfigFile(); // there is no ZADUD.CFG
        ASSERT_EQ(errors, QStringList{"ﾌｧｲﾙが見つかりません."});
        if (movedFirst) {
            runGuarded([this] { form1->NextClick(); });
            runGuarded([this] { form1->SpeedButton1Click(); });
        }
        ASSERT_TRUE(form1->monthNeverLoaded());

        open();
        retype(edit("Edit1"), ledger);
        retype(edit("Edit3"), "食費");
        click(form4->Button1);
        EXPECT_FALSE(form4->isVisible());
        EXPECT_EQ(errors.size(), 1) << errors.join("|").toStdString();
        EXPECT_FALSE(form1->monthNeverLoaded());
        EXPECT_EQ(form1->Ledger.Items[1].Days[1].Income, 100);
        form1->MonthSave();
        EXPECT_EQ(readBytes(monthPath).rfind(month, 0), 0u) << "the income line is kept";
        std::remove(cfg.c_str());
    }
}

} // namespace

namespace {

// The pages turn by Ctrl+PageDown/PageUp and Ctrl+Tab wherever the focus is,
// even on the drive list, whose own PageDown would change the drive.
TEST_F(SettingsDialog, PagesTurnByKeysWhereverTheFocusIs) {
    form4->devnm->setRoots({"/", ledger});
    open();
    EXPECT_EQ(QApplication::focusWidget(), form4->pgc->tabBar());
    const QString drive = form4->devnm->drive();
    form4->devnm->setFocus();
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        int page;
    } steps[] = {
        {Qt::Key_PageDown, Qt::ControlModifier, 1},
        {Qt::Key_Tab, Qt::ControlModifier, 2},
        {Qt::Key_PageDown, Qt::ControlModifier, 3},
        {Qt::Key_PageDown, Qt::ControlModifier, 0},
        {Qt::Key_PageUp, Qt::ControlModifier, 3},
        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 2},
    };
    for (const auto& s : steps) {
        QTest::keyClick(QApplication::focusWidget(), s.key, s.mods);
        EXPECT_EQ(form4->pgc->currentIndex(), s.page);
    }
    EXPECT_EQ(form4->devnm->drive(), drive);
}

} // namespace
