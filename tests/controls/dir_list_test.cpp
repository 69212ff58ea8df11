#include "controls/dir_list.h"
#include "controls/drive_list.h"

#include "tests/support/test_support.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QStringList texts(const DirList& list) {
    QStringList out;
    for (int i = 0; i < list.count(); ++i)
        out << list.item(i)->text();
    return out;
}

int rowOf(const DirList& list, const QString& text) {
    for (int i = 0; i < list.count(); ++i)
        if (list.item(i)->text() == text) return i;
    return -1;
}

// A folder tree: base/a/{b, C, .hidden, file.txt}, base/a/b/deep.
class DirListTest : public ::testing::Test {
protected:
    void SetUp() override {
        base = QString::fromStdString(tmp.path());
        QDir d(base);
        ASSERT_TRUE(d.mkpath("a/b/deep"));
        ASSERT_TRUE(d.mkpath("a/C"));
        ASSERT_TRUE(d.mkpath("a/.hidden"));
        writeBytes(tmp.file("a/file.txt"), "x");
        a = base + "/a";
        list.resize(300, 400);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    }

    void doubleClick(int row) {
        ASSERT_GE(row, 0);
        list.scrollToItem(list.item(row));
        const QRect r = list.visualItemRect(list.item(row));
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, r.center());
    }

    TempDir tmp;
    QString base, a;
    DirList list;
};

TEST_F(DirListTest, ShowsPathFromRootThenSubdirectories) {
    ASSERT_TRUE(list.setDirectory(a));
    QStringList expected{"/"};
    expected << a.split('/', Qt::SkipEmptyParts) << "b"
             << "C";
    EXPECT_EQ(texts(list), expected) << "no hidden folders, no files";
    const int here = expected.size() - 3;
    EXPECT_EQ(list.currentRow(), here);
    EXPECT_EQ(list.pathAt(here), a);
    EXPECT_EQ(list.pathAt(0), "/");
    EXPECT_EQ(list.pathAt(here + 1), a + "/b");
}

TEST_F(DirListTest, PositioningFromCode) {
    ASSERT_TRUE(list.setDirectory(a));
    QSignalSpy spy(&list, &DirList::directoryChanged);
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(base));
    struct Case {
        QString path;
        bool ok;
        QString shown; // directory afterwards
        int changes;
    } cases[] = {
        {a, true, a, 0},                  // the directory shown: nothing happens
        {a + "/", true, a, 0},            // same directory by name
        {a + "/b/..", true, a, 0},        //
        {"", false, a, 0},                // empty value
        {a + "/missing", false, a, 0},    // missing directory
        {a + "/missing/b", false, a, 0},  // missing on the way
        {a + "/file.txt", false, a, 0},   // not a directory
        {a + "/file.txt/b", false, a, 0}, // a file on the way
        {base + "/A", false, a, 0},       // names differ in case only
        {a + "/b/deep", true, a + "/b/deep", 1},
        {"a/C", true, a + "/C", 1}, // relative to the working directory
        {"/", true, "/", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        spy.clear();
        const QStringList before = texts(list);
        EXPECT_EQ(list.setDirectory(c.path), c.ok);
        EXPECT_EQ(list.directory(), c.shown);
        EXPECT_EQ(spy.count(), c.changes);
        if (c.changes == 1) {
            EXPECT_EQ(spy.at(0).at(0).toString(), c.shown);
        } else {
            EXPECT_EQ(texts(list), before);
        }
    }
    QDir::setCurrent(cwd);
}

TEST_F(DirListTest, DoubleClickEntersSubdirectoryAndParent) {
    ASSERT_TRUE(list.setDirectory(a));
    QSignalSpy spy(&list, &DirList::directoryChanged);
    doubleClick(rowOf(list, "b"));
    EXPECT_EQ(list.directory(), a + "/b");
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), a + "/b");
    EXPECT_EQ(texts(list).last(), "deep");

    // The entry of a directory higher up the path goes back up.
    doubleClick(rowOf(list, "a"));
    EXPECT_EQ(list.directory(), a);
    EXPECT_EQ(spy.count(), 2);

    // The current directory itself: no change, no signal.
    doubleClick(list.currentRow());
    EXPECT_EQ(list.directory(), a);
    EXPECT_EQ(spy.count(), 2);
}

TEST_F(DirListTest, EnterKeyEntersCurrentEntry) {
    ASSERT_TRUE(list.setDirectory(a));
    QSignalSpy spy(&list, &DirList::directoryChanged);
    list.setFocus();
    list.setCurrentRow(rowOf(list, "C"));
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_EQ(list.directory(), a + "/C");
    list.setCurrentRow(rowOf(list, "a"));
    QTest::keyClick(&list, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(list.directory(), a);
    EXPECT_EQ(spy.count(), 2);
}

TEST_F(DirListTest, VanishedDirectoryIsNotEnteredAndDropsOut) {
    ASSERT_TRUE(list.setDirectory(a));
    QSignalSpy spy(&list, &DirList::directoryChanged);
    const int row = rowOf(list, "C");
    ASSERT_TRUE(QDir(a).rmdir("C"));
    doubleClick(row);
    EXPECT_EQ(list.directory(), a);
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(rowOf(list, "C"), -1) << "the list shows what is there now";
    EXPECT_NE(rowOf(list, "b"), -1);
}

TEST(RootOf, LongestRootHoldingThePath) {
    const QStringList roots{"/", "/media/usb", "/media/usb/inner"};
    const struct {
        QString path, root;
    } cases[] = {
        {"/home/x", "/"},
        {"/media/usb", "/media/usb"},
        {"/media/usb/", "/media/usb"},
        {"/media/usb/a/b", "/media/usb"},
        {"/media/usb2/a", "/"},
        {"/media/usb/inner/z", "/media/usb/inner"},
        {"/media/usb/..", "/"},
        {"", ""},
        {"relative/dir", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rootOf(c.path, roots), c.root) << c.path.toStdString();
}

class DriveListTest : public DirListTest {
protected:
    void SetUp() override {
        DirListTest::SetUp();
        vol = base + "/vol";
        ASSERT_TRUE(QDir(base).mkpath("vol/sub"));
        drives.setRoots({"/", vol});
        drives.attach(&list);
        ASSERT_TRUE(list.setDirectory(a));
    }
    QString vol;
    DriveList drives;
};

TEST_F(DriveListTest, ChoosingADriveMovesTheListToItsLastDirectory) {
    QSignalSpy driveSpy(&drives, &DriveList::driveChanged);
    QSignalSpy dirSpy(&list, &DirList::directoryChanged);
    EXPECT_EQ(drives.drive(), "/");

    // The user picks the volume: the list goes to its root.
    QTest::keyClick(&drives, Qt::Key_Down);
    EXPECT_EQ(drives.drive(), vol);
    EXPECT_EQ(list.directory(), vol);
    EXPECT_EQ(driveSpy.count(), 1);
    EXPECT_EQ(dirSpy.count(), 1);

    ASSERT_TRUE(list.setDirectory(vol + "/sub"));
    EXPECT_EQ(driveSpy.count(), 1) << "same drive";

    // Back to "/": the list returns to where it was there, and then to the
    // volume's last directory.
    QTest::keyClick(&drives, Qt::Key_Up);
    EXPECT_EQ(list.directory(), a);
    QTest::keyClick(&drives, Qt::Key_Down);
    EXPECT_EQ(list.directory(), vol + "/sub");
    EXPECT_EQ(driveSpy.count(), 3);
}

TEST_F(DriveListTest, SettingTheDriveFromCode) {
    QSignalSpy driveSpy(&drives, &DriveList::driveChanged);
    EXPECT_TRUE(drives.setDriveOf(a + "/b"));
    EXPECT_EQ(driveSpy.count(), 0) << "already selected";
    EXPECT_FALSE(drives.setDriveOf(""));
    EXPECT_FALSE(drives.setDriveOf("relative"));
    EXPECT_EQ(drives.drive(), "/");
    EXPECT_EQ(driveSpy.count(), 0);

    EXPECT_TRUE(drives.setDriveOf(vol + "/sub"));
    EXPECT_EQ(driveSpy.count(), 1);
    EXPECT_EQ(list.directory(), vol);

    // The list moving to another drive by itself takes the drive list along.
    ASSERT_TRUE(list.setDirectory(a));
    EXPECT_EQ(drives.drive(), "/");
}

TEST_F(DriveListTest, VanishedLastDirectoryFallsBackToTheRoot) {
    ASSERT_TRUE(list.setDirectory(vol + "/sub"));
    ASSERT_TRUE(list.setDirectory(a));
    ASSERT_TRUE(QDir(vol).rmdir("sub"));
    EXPECT_TRUE(list.setDrive(vol));
    EXPECT_EQ(list.directory(), vol);
    EXPECT_FALSE(list.setDrive(base + "/not-a-root"));
}

} // namespace

TEST(DirListIcons, ComeWithTheFirstShowingAndStay) {
    DirList list;
    ASSERT_GT(list.count(), 0);
    EXPECT_TRUE(list.item(0)->icon().isNull()) << "the icon theme loaded at start-up";
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    for (bool refilled : {false, true}) {
        if (refilled) ASSERT_TRUE(list.setDirectory(QDir::rootPath()));
        for (int i = 0; i < list.count(); ++i)
            EXPECT_FALSE(list.item(i)->icon().isNull()) << i << " refilled " << refilled;
    }
}
