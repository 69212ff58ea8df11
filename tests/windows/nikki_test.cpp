#include "storage/disk_store.h"
#include "windows/nikki.h"

#include "ledger/diary_draft.h"
#include "ledger/errors.h"
#include "ledger/text_file.h"
#include "shell/calendar.h"
#include "shell/close_question.h"
#include "shell/error_box.h"
#include "shell/zadud.h"
#include "tests/windows/main_window_fixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QInputMethodEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>
#include <cerrno>
#include <gtest/gtest.h>

namespace {

class DiaryWindow : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        form1->DiaryDir = QString::fromStdString(tmp.path());
        setDate(1998, 3, 7);
        form3 = std::make_unique<TForm3>(form1.get());
        form1->setDiary(form3.get());
        // Questions are answered with `answer` and recorded; windows show.
        Modal::setRunner([this](QDialog* d) {
            if (auto* box = qobject_cast<QMessageBox*>(d)) {
                asked << box->objectName();
                box->done(answer);
                return;
            }
            d->show();
            d->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(d));
        });
    }
    void TearDown() override {
        form3->hide();
        MainWindowFixture::TearDown();
    }

    // Opens the diary as the main window's button does.
    void open() {
        QTest::mouseClick(form1->SpeedButton4, Qt::LeftButton);
        ASSERT_TRUE(form3->isVisible());
    }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::ControlModifier) {
        QTest::keyClick(form3->Memo1, k, mods);
    }
    QString memo() const { return form3->Memo1->toPlainText(); }
    // The pause in typing is up: what the timer calls, without waiting.
    void pause() { QMetaObject::invokeMethod(&form3->DraftTimer, "timeout"); }
    // Japanese text arrives from the input method as a committed string.
    void commit(const QString& text) {
        QInputMethodEvent e;
        e.setCommitString(text);
        QApplication::sendEvent(form3->Memo1, &e);
    }

    std::unique_ptr<TForm3> form3;
    QStringList asked;
    int answer = QMessageBox::Yes;
};

// "日記 ～①㈱－" in code page 932: the four marks are where CP932 and JIS differ.
const std::string JapaneseCp932 = "\x93\xfa\x8b\x4c\x20\x81\x60\x87\x40\x87\x8a\x81\x7c";
const QString JapaneseText = QStringLiteral("日記 ～①㈱－");

TEST_F(DiaryWindow, DayWithoutFileGetsAnEmptyFileEvenWhenLeftUnsaved) {
    open();
    EXPECT_EQ(memo(), "");
    ASSERT_TRUE(fileExists(tmp.file("199837.nik")));
    key(Qt::Key_X);
    EXPECT_FALSE(form3->isVisible());
    EXPECT_EQ(readBytes(tmp.file("199837.nik")), "");
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(DiaryWindow, EmptiedMemoSavesOneLineEnd) {
    writeBytes(tmp.file("199837.nik"), "old entry\r\nsecond\r\n");
    open();
    EXPECT_EQ(memo(), "old entry\nsecond");
    key(Qt::Key_A);
    key(Qt::Key_Delete, Qt::NoModifier);
    ASSERT_EQ(memo(), "");
    key(Qt::Key_S);
    EXPECT_FALSE(form3->isVisible());
    EXPECT_EQ(readBytes(tmp.file("199837.nik")), "\r\n");
}

TEST_F(DiaryWindow, OpenAndSaveWithoutEditKeepsTheFileExactly) {
    const std::string files[] = {
        "",
        "\r\n",
        "one line\r\n",
        "ends with an empty line\r\n\r\n",
        "no line end at all",
        "unix\nline ends\n",
        "stops at\r\n\x1a"
        "garbage",
        JapaneseCp932 + "\r\n",
        "\xff\xfe not CP932\r\n",
    };
    for (const std::string& bytes : files) {
        writeBytes(tmp.file("199837.nik"), bytes);
        for (int cycle = 0; cycle < 3; ++cycle) {
            open();
            key(Qt::Key_S);
            ASSERT_FALSE(form3->isVisible());
            EXPECT_EQ(readBytes(tmp.file("199837.nik")), bytes) << "cycle " << cycle;
        }
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join('|').toStdString();
}

TEST_F(DiaryWindow, TypedCp932TextSurvivesSaveAndLoad) {
    open();
    commit(JapaneseText);
    key(Qt::Key_Return, Qt::NoModifier);
    QTest::keyClicks(form3->Memo1, "line 2");
    key(Qt::Key_S);
    const std::string expected = JapaneseCp932 + "\r\nline 2\r\n";
    EXPECT_EQ(readBytes(tmp.file("199837.nik")), expected);

    open();
    EXPECT_EQ(memo(), JapaneseText + "\nline 2");
    QTest::keyClicks(form3->Memo1, "!");
    key(Qt::Key_Backspace, Qt::NoModifier);
    key(Qt::Key_S);
    EXPECT_EQ(readBytes(tmp.file("199837.nik")), expected);
}

// Bytes that are not CP932 ride through an edit elsewhere in the entry.
TEST_F(DiaryWindow, EditedEntryKeepsStrayBytes) {
    writeBytes(tmp.file("199837.nik"), "a\x80"
                                       "b\r\n\xfd\r\n");
    open();
    key(Qt::Key_End);
    QTest::keyClicks(form3->Memo1, "!");
    key(Qt::Key_S);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('|').toStdString();
    EXPECT_EQ(readBytes(tmp.file("199837.nik")), "a\x80"
                                                 "b\r\n\xfd!\r\n");
}

// What the file could not hold, or would give back as something else, is
// refused by name; the window stays open and the old file stays.
TEST_F(DiaryWindow, TextTheFileCannotHoldIsRefusedByName) {
    const struct {
        QString pasted;
        QString error;
    } cases[] = {
        {QStringLiteral("a\x1a"
                        "b"),
         QStringLiteral("日記に制御文字 Ctrl-Z (U+001A) は使えません.")},
        {QStringLiteral("😀"),
         QStringLiteral("日記に Shift-JIS で表せない文字「😀」(U+1F600) が含まれています.")},
        {QStringLiteral("¥"),
         QStringLiteral("日記の「¥」(U+00A5) は Shift-JIS で「\\」(U+005C) に変わります.")},
    };
    for (const auto& c : cases) {
        writeBytes(tmp.file("199837.nik"), "old\r\n");
        errors.clear();
        open();
        QApplication::clipboard()->setText(c.pasted);
        key(Qt::Key_V);
        key(Qt::Key_S);
        EXPECT_EQ(errors, QStringList{c.error});
        EXPECT_TRUE(form3->isVisible());
        EXPECT_EQ(readBytes(tmp.file("199837.nik")), "old\r\n");
        key(Qt::Key_X);
    }
}

// Characters that the file keeps as a neighbour show as that neighbour at
// once, so what is saved is what the memo shows; undo takes back the paste.
TEST_F(DiaryWindow, NeighboursShowAsStoredWhenTyped) {
    writeBytes(tmp.file("199837.nik"), "");
    open();
    QApplication::clipboard()->setText(QStringLiteral("10時〜12時 −5 ‖"));
    key(Qt::Key_V);
    EXPECT_EQ(memo(), QStringLiteral("10時～12時 －5 ∥"));
    key(Qt::Key_S);
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(readBytes(tmp.file("199837.nik")), "10\x8e\x9e\x81\x60"
                                                 "12\x8e\x9e \x81\x7c"
                                                 "5 \x81\x61\r\n");
    open();
    QApplication::clipboard()->setText(QStringLiteral("〜"));
    key(Qt::Key_V);
    key(Qt::Key_Z);
    EXPECT_EQ(memo(), QStringLiteral("10時～12時 －5 ∥"));
}

TEST_F(DiaryWindow, MenuKeysWinOverTheMemosEditingKeys) {
    writeBytes(tmp.file("199837.nik"), "keep me\r\n");
    open();
    key(Qt::Key_A); // select all, so that a cut would take everything
    key(Qt::Key_X);
    EXPECT_FALSE(form3->isVisible());
    EXPECT_EQ(memo(), "keep me") << "Ctrl+X cut the text instead of leaving";
    EXPECT_EQ(readBytes(tmp.file("199837.nik")), "keep me\r\n");

    open();
    key(Qt::Key_End);
    QTest::keyClicks(form3->Memo1, " and this");
    key(Qt::Key_A);
    key(Qt::Key_S);
    EXPECT_FALSE(form3->isVisible());
    EXPECT_EQ(readBytes(tmp.file("199837.nik")), "keep me and this\r\n");

    // Escape neither closes the window nor drops the text.
    open();
    key(Qt::Key_End);
    QTest::keyClicks(form3->Memo1, "x");
    key(Qt::Key_Escape, Qt::NoModifier);
    EXPECT_TRUE(form3->isVisible());
    EXPECT_EQ(memo(), "keep me and thisx");
}

// Leaving without saving asks once the memo differs from the file, by the
// key, the menu or the close box; いいえ keeps the window and the text, はい
// drops the text and the next showing reads the file again.
TEST_F(DiaryWindow, ClosingWithTypedTextAsksFirst) {
    const struct {
        const char* way;
        std::function<void()> close;
    } ways[] = {
        {"Ctrl+X", [this] { key(Qt::Key_X); }},
        {"menu", [this] { form3->Exit2->trigger(); }},
        {"close box", [this] { form3->close(); }},
    };
    writeBytes(tmp.file("199837.nik"), "saved\r\n");
    for (const auto& w : ways) {
        SCOPED_TRACE(w.way);
        open();
        QTest::keyClicks(form3->Memo1, "x");
        key(Qt::Key_Backspace, Qt::NoModifier); // typed and taken back: as read
        w.close();
        EXPECT_FALSE(form3->isVisible());
        EXPECT_TRUE(asked.isEmpty());

        open();
        key(Qt::Key_End);
        QTest::keyClicks(form3->Memo1, " unsaved");
        answer = QMessageBox::No;
        w.close();
        EXPECT_EQ(asked, QStringList{CloseQuestion::Name});
        EXPECT_TRUE(form3->isVisible());
        EXPECT_EQ(memo(), "saved unsaved");

        answer = QMessageBox::Yes;
        w.close();
        EXPECT_FALSE(form3->isVisible());
        EXPECT_EQ(readBytes(tmp.file("199837.nik")), "saved\r\n");
        open();
        EXPECT_EQ(memo(), "saved");
        key(Qt::Key_X);
        asked.clear();
    }
}

TEST_F(DiaryWindow, TitleNamesTheDayShown) {
    open();
    EXPECT_EQ(form3->windowTitle(), "日記 1998年3月7日");
    key(Qt::Key_X);
    setDate(2026, 12, 31);
    open();
    EXPECT_EQ(form3->windowTitle(), "日記 2026年12月31日");
}

TEST_F(DiaryWindow, FailedSaveKeepsWindowTextAndOldFile) {
    writeBytes(tmp.file("199837.nik"), "old\r\n");
    open();
    key(Qt::Key_End);
    QTest::keyClicks(form3->Memo1, " new");
    disk.setFaults(
        [](const std::string&, const std::string& step) { return step == "rename" ? EACCES : 0; });
    key(Qt::Key_S);
    EXPECT_EQ(errors, QStringList{QString::fromUtf8(msg::AccessDenied) + "."});
    EXPECT_TRUE(form3->isVisible());
    EXPECT_EQ(memo(), "old new");
    EXPECT_EQ(readBytes(tmp.file("199837.nik")), "old\r\n");

    disk.setFaults(nullptr);
    key(Qt::Key_S);
    EXPECT_FALSE(form3->isVisible());
    EXPECT_EQ(readBytes(tmp.file("199837.nik")), "old new\r\n");
}

TEST_F(DiaryWindow, MissingDirectoryIsReportedAndTheMemoStaysEmpty) {
    form1->DiaryDir = QString::fromStdString(tmp.file("missing"));
    open();
    EXPECT_EQ(errors, QStringList{QString::fromUtf8(msg::InvalidFileName) + "."});
    EXPECT_EQ(memo(), "");
    QTest::keyClicks(form3->Memo1, "text");
    key(Qt::Key_S);
    EXPECT_EQ(errors.size(), 2);
    EXPECT_TRUE(form3->isVisible());
}

TEST_F(DiaryWindow, UnreadableDayFileIsNeverWrittenOver) {
    writeBytes(tmp.file("199837.nik"), "kept\r\n");
    disk.setFaults(
        [](const std::string&, const std::string& step) { return step == "read" ? EACCES : 0; });
    open();
    EXPECT_EQ(errors, QStringList{QString::fromUtf8(msg::AccessDenied) + "."});
    EXPECT_EQ(memo(), "");
    QTest::keyClicks(form3->Memo1, "typed");
    key(Qt::Key_S);
    EXPECT_EQ(errors.size(), 2);
    EXPECT_TRUE(form3->isVisible());
    EXPECT_EQ(readBytes(tmp.file("199837.nik")), "kept\r\n");
}

TEST_F(DiaryWindow, NewDiaryDirectoryIsUsedFromTheNextOpening) {
    writeBytes(tmp.file("199837.nik"), "in the old directory\r\n");
    const std::string newDir = tmp.file("new");
    ASSERT_TRUE(QDir().mkdir(QString::fromStdString(newDir)));
    form1->DiaryDir = QString::fromStdString(newDir);

    open();
    EXPECT_EQ(memo(), "");
    EXPECT_TRUE(fileExists(newDir + "/199837.nik"));
    QTest::keyClicks(form3->Memo1, "new place");
    key(Qt::Key_S);
    EXPECT_EQ(readBytes(newDir + "/199837.nik"), "new place\r\n");
    EXPECT_EQ(readBytes(tmp.file("199837.nik")), "in the old directory\r\n");
}

TEST_F(DiaryWindow, DaysSharingTheStoredNameKeepTheirOwnEntries) {
    writeBytes(tmp.file("1998115.nik"), "stored under the old name\r\n");
    struct Day {
        int m, d;
        const char* text;
    } days[] = {{1, 15, "fifteenth of January"}, {11, 5, "fifth of November"}};
    for (const Day& day : days) {
        setDate(1998, day.m, day.d);
        open();
        EXPECT_EQ(memo(), "stored under the old name");
        key(Qt::Key_A);
        QTest::keyClicks(form3->Memo1, day.text);
        key(Qt::Key_S);
    }
    EXPECT_EQ(readBytes(tmp.file("19980115.nik")), "fifteenth of January\r\n");
    EXPECT_EQ(readBytes(tmp.file("19981105.nik")), "fifth of November\r\n");
    EXPECT_EQ(readBytes(tmp.file("1998115.nik")), "stored under the old name\r\n");
    for (const Day& day : days) {
        setDate(1998, day.m, day.d);
        open();
        EXPECT_EQ(memo(), day.text);
        key(Qt::Key_X);
    }
}

// This PC's draft file and the text it keeps for a day, "" when none.
std::string draftFile(TForm1& form1) {
    return joinPath(form1.book().ledgerDir(), diaryDraftFileName(form1.book().pcName()));
}
std::string draftText(TForm1& form1, int y, int m, int d) {
    DiskStore disk;
    for (const DiaryDraft& draft : DiaryDraftFile(disk, draftFile(form1)).read())
        if (draft.isDay(y, m, d)) return draft.memoText();
    return "";
}

// A pause in typing keeps the text on disk; saving, or dropping it on the
// user's word, removes it, and a refused drop keeps it.
TEST_F(DiaryWindow, TypedTextIsKeptAfterAPauseUntilSavedOrDropped) {
    const struct {
        const char* way;
        int answer;
        std::function<void()> close;
        bool draftKept;
        std::string dayFile;
    } ways[] = {
        {"saved", QMessageBox::Yes, [this] { key(Qt::Key_S); }, false, "old typed\r\n"},
        {"dropped", QMessageBox::Yes, [this] { key(Qt::Key_X); }, false, "old\r\n"},
        {"drop refused", QMessageBox::No, [this] { key(Qt::Key_X); }, true, "old\r\n"},
        {"close box", QMessageBox::Yes, [this] { form3->close(); }, false, "old\r\n"},
    };
    for (const auto& w : ways) {
        SCOPED_TRACE(w.way);
        writeBytes(tmp.file("199837.nik"), "old\r\n");
        open();
        EXPECT_FALSE(form3->DraftTimer.isActive()) << "reading the entry is no typing";
        key(Qt::Key_End);
        QTest::keyClicks(form3->Memo1, " typed");
        EXPECT_TRUE(form3->DraftTimer.isActive());
        EXPECT_TRUE(form3->DraftTimer.isSingleShot());
        EXPECT_GE(form3->DraftTimer.interval(), 500) << "a pause, not a key";
        EXPECT_FALSE(fileExists(draftFile(*form1))) << "no write per key";
        pause();
        EXPECT_FALSE(form3->DraftTimer.isActive());
        EXPECT_EQ(draftText(*form1, 1998, 3, 7), "old typed");

        answer = w.answer;
        w.close();
        EXPECT_EQ(form3->isVisible(), w.draftKept);
        EXPECT_EQ(fileExists(draftFile(*form1)), w.draftKept);
        EXPECT_EQ(readBytes(tmp.file("199837.nik")), w.dayFile);
        if (form3->isVisible()) {
            answer = QMessageBox::Yes;
            key(Qt::Key_X);
        }
        EXPECT_FALSE(fileExists(draftFile(*form1)));
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join('|').toStdString();
    EXPECT_TRUE(notes.isEmpty()) << notes.join('|').toStdString();
}

// Text typed and taken back leaves no draft behind.
TEST_F(DiaryWindow, DraftFollowsTheText) {
    writeBytes(tmp.file("199837.nik"), "old\r\n");
    open();
    key(Qt::Key_End);
    QTest::keyClicks(form3->Memo1, "!");
    pause();
    EXPECT_EQ(draftText(*form1, 1998, 3, 7), "old!");
    key(Qt::Key_Backspace, Qt::NoModifier);
    pause();
    EXPECT_FALSE(fileExists(draftFile(*form1))) << "as read again: nothing to keep";

    answer = QMessageBox::Yes;
    key(Qt::Key_X);
    form3->Memo1->setPlainText(QStringLiteral("left in a closed window"));
    pause();
    EXPECT_FALSE(fileExists(draftFile(*form1)));
}

// The session's end keeps what is typed at once, without waiting for the
// pause, and then lets the window close without a question nobody could
// answer, the draft kept. A draft that cannot be written disturbs no typing
// and says nothing, but closing still asks; so does text typed after the
// session's end (a logout cancelled).
TEST_F(DiaryWindow, SessionsEndKeepsTheTextAndClosesWithoutAsking) {
    const struct {
        const char* what;
        bool refused;    // the draft cannot be written
        bool typedAfter; // typing goes on after the session's end
        bool asks;
        std::string kept; // the draft's text afterwards
    } cases[] = {
        {"kept", false, false, false, "old?"},
        {"refused", true, false, true, ""},
        {"typed after", false, true, true, "old?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(tmp.file("199837.nik"), "old\r\n");
        open();
        key(Qt::Key_End);
        QTest::keyClicks(form3->Memo1, "?");
        ASSERT_TRUE(form3->DraftTimer.isActive());
        if (c.refused) {
            // Refused after a pause too: typing goes on, nothing is said.
            disk.setFaults([](const std::string& path, const std::string&) {
                return path.find(".NIKD") != std::string::npos ? ENOSPC : 0;
            });
            pause();
            QTest::keyClicks(form3->Memo1, "?");
        }
        form3->sessionEnds();
        disk.setFaults(nullptr);
        EXPECT_FALSE(form3->DraftTimer.isActive());
        EXPECT_EQ(draftText(*form1, 1998, 3, 7), c.kept);
        EXPECT_EQ(memo(), c.refused ? "old??" : "old?");
        if (c.typedAfter) QTest::keyClicks(form3->Memo1, "!");

        asked.clear();
        answer = QMessageBox::No;
        form3->close();
        EXPECT_EQ(asked.size(), c.asks ? 1 : 0);
        EXPECT_EQ(form3->isVisible(), c.asks);
        EXPECT_EQ(draftText(*form1, 1998, 3, 7), c.kept);
        EXPECT_EQ(readBytes(tmp.file("199837.nik")), "old\r\n");
        answer = QMessageBox::Yes;
        form3->close();
        ASSERT_FALSE(form3->isVisible());
        DiskStore files;
        DiaryDraftFile(files, draftFile(*form1)).drop(1998, 3, 7);
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join('|').toStdString();
    EXPECT_TRUE(notes.isEmpty()) << notes.join('|').toStdString();

    // Nothing typed: nothing kept, and a closed window keeps nothing.
    open();
    form3->sessionEnds();
    EXPECT_FALSE(fileExists(draftFile(*form1)));
    key(Qt::Key_X);
    form3->Memo1->setPlainText(QStringLiteral("left in a closed window"));
    form3->sessionEnds();
    EXPECT_FALSE(fileExists(draftFile(*form1)));
}

// A draft left by a kill or a logout comes back at the next opening of its
// day, as unsaved text with a line saying so; never on another day, never
// written to the day file unasked. A day file changed since keeps its text.
TEST_F(DiaryWindow, KeptTextIsOfferedAtTheNextOpeningOfItsDay) {
    const QString restored = QStringLiteral(
        "前回保存されなかった入力を戻しました。保存するには「保存して終了」を選んでください。");
    const struct {
        const char* what;
        int y, m, d;            // the day opened next
        std::string dayFileNow; // the day file before the next opening
        QString memo;
        bool noted, draftLeft;
    } cases[] = {
        {"same day", 1998, 3, 7, "old\r\n", "old typed", true, true},
        {"day changed since", 1998, 3, 7, "theirs\r\n", "theirs\nold typed", true, true},
        {"day emptied since", 1998, 3, 7, "", "old typed", true, true},
        {"saved already", 1998, 3, 7, "old typed\r\n", "old typed", false, false},
        {"another day", 1998, 3, 8, "old\r\n", "", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(tmp.file("199837.nik"), "old\r\n");
        open();
        key(Qt::Key_End);
        QTest::keyClicks(form3->Memo1, " typed");
        form3->keepDraft();
        // Killed: a new run, the window never closed.
        form3 = std::make_unique<TForm3>(form1.get());
        form1->setDiary(form3.get());
        writeBytes(tmp.file("199837.nik"), c.dayFileNow);

        setDate(c.y, c.m, c.d);
        open();
        EXPECT_EQ(memo(), c.memo);
        EXPECT_EQ(form3->DraftNote->isVisible(), c.noted);
        if (c.noted)
            EXPECT_LT(form3->DraftNote->geometry().bottom(), form3->Memo1->geometry().top());
        if (c.noted)
            EXPECT_EQ(form3->DraftNote->text(),
                      c.memo == "old typed"
                          ? restored
                          : QStringLiteral("この日の日記は、前回の入力の後にほかで書き換えられて"
                                           "います。今の日記の後に、保存されなかった入力を並べま"
                                           "した。保存するには「保存して終了」を選んでください。"));
        EXPECT_EQ(form3->unsaved(), c.noted);
        EXPECT_EQ(readBytes(tmp.file("199837.nik")), c.dayFileNow) << "nothing written unasked";
        EXPECT_EQ(fileExists(draftFile(*form1)), c.draftLeft);
        EXPECT_FALSE(form3->DraftTimer.isActive());

        // Leaving the restored text asks, as typed text does.
        asked.clear();
        answer = QMessageBox::Yes;
        key(Qt::Key_X);
        EXPECT_EQ(asked.size(), c.noted ? 1 : 0);
        EXPECT_EQ(fileExists(draftFile(*form1)), c.draftLeft && !c.noted);
        DiskStore disk;
        DiaryDraftFile(disk, draftFile(*form1)).drop(1998, 3, 7);
        setDate(1998, 3, 7);
    }

    // Saving the restored text writes it, and the note is gone next time.
    writeBytes(tmp.file("199837.nik"), "old\r\n");
    open();
    QTest::keyClicks(form3->Memo1, "new ");
    form3->keepDraft();
    form3 = std::make_unique<TForm3>(form1.get());
    form1->setDiary(form3.get());
    open();
    key(Qt::Key_S);
    EXPECT_EQ(readBytes(tmp.file("199837.nik")), "new old\r\n");
    EXPECT_FALSE(fileExists(draftFile(*form1)));
    open();
    EXPECT_FALSE(form3->DraftNote->isVisible());
    EXPECT_TRUE(errors.isEmpty()) << errors.join('|').toStdString();
}

// At start the main window says once which days' diaries hold text typed
// and not saved: this PC's drafts only, and not one saved since.
TEST_F(DiaryWindow, StartTellsOnceWhichDaysHoldUnsavedText) {
    writeBytes(tmp.file("ZADUD.CFG"), "kamo1=A\r\n");
    writeBytes(tmp.file("199837.nik"), "saved\r\n");
    writeBytes(tmp.file("199838.nik"), "old\r\n");
    writeBytes(tmp.file(diaryDraftFileName(form1->book().pcName())),
               formatDiaryDrafts({makeDiaryDraft(1998, 3, 7, "", "saved"),
                                  makeDiaryDraft(1998, 3, 8, "old\r\n", "old typed")}));
    writeBytes(tmp.file(diaryDraftFileName("another-pc")),
               formatDiaryDrafts({makeDiaryDraft(1998, 3, 9, "", "theirs")}));
    form1->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form1.get()));
    for (int pass = 0; pass < 20; ++pass)
        QCoreApplication::processEvents();
    EXPECT_EQ(notes,
              QStringList{QStringLiteral("前回保存されなかった日記の入力があります (1998年3月8日)。"
                                         "その日の日記を開くと入力が戻ります。")});
    EXPECT_TRUE(errors.isEmpty()) << errors.join('|').toStdString();
}

// A kept version chosen from the backups replaces the entry and what was
// typed over it: the memo shows the version, and no draft is left to
// bring the typing back.
TEST_F(DiaryWindow, RestoredVersionReplacesTheDraft) {
    writeBytes(tmp.file("199837.nik"), "old\r\n");
    form3->setVersionChooser([](int, int, int, std::string& bytes) {
        bytes = "kept version\r\n";
        return true;
    });
    open();
    QTest::keyClicks(form3->Memo1, "typed ");
    pause();
    ASSERT_EQ(draftText(*form1, 1998, 3, 7), "typed old");
    form3->Restore1->trigger();
    EXPECT_EQ(memo(), "kept version");
    EXPECT_FALSE(form3->unsaved());
    EXPECT_FALSE(fileExists(draftFile(*form1)));
    EXPECT_EQ(readBytes(tmp.file("199837.nik")), "kept version\r\n");
}

} // namespace
