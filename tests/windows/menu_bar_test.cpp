// The main window's whole menu bar and toolbar, as the program builds them:
// captions, order, shortcuts and separators. A feature that plugs in must
// leave every entry where users know it.
#include "storage/backup_files.h"
#include "tests/windows/main_window_fixture.h"
#include "windows/feature_list.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>

namespace {

QStringList menuBarLines(QMenuBar* bar) {
    QStringList lines;
    for (QAction* top : bar->actions()) {
        if (!top->isVisible()) continue;
        lines << top->text();
        for (QAction* a : top->menu()->actions()) {
            if (!a->isVisible()) continue;
            if (a->isSeparator()) {
                lines << QStringLiteral("  ---");
                continue;
            }
            QStringList keys;
            for (const QKeySequence& k : a->shortcuts())
                keys << k.toString(QKeySequence::PortableText);
            lines << QStringLiteral("  ") + a->text() +
                         (keys.isEmpty() ? QString() : QStringLiteral("\t") + keys.join(' '));
        }
    }
    return lines;
}

using MenuBarTest = MainWindowFixture;

TEST_F(MenuBarTest, TheMenuBarAndToolbarKeepTheirEntriesInOrder) {
    BackupStore backups(disk, [this] { return BookFolders{tmp.path(), tmp.path(), tmp.path()}; });
    ProgramFeatures features(&backups, [] { return Date{1996, 12, 1}; });
    features.install(*form1);
    const QStringList expected = {
        QStringLiteral("ﾌｧｲﾙ"),
        QStringLiteral("  明細入力\tCtrl+K"),
        QStringLiteral("  日記記帳\tCtrl+N"),
        QStringLiteral("  月別一覧\tCtrl+M"),
        QStringLiteral("  年間一覧\tCtrl+Shift+Y"),
        QStringLiteral("  日記検索\tCtrl+D"),
        QStringLiteral("  定期入力"),
        QStringLiteral("  明細検索\tCtrl+Shift+F"),
        QStringLiteral("  分析\tCtrl+Shift+A"),
        QStringLiteral("  ---"),
        QStringLiteral("  印刷...\tCtrl+P"),
        QStringLiteral("  PDF出力..."),
        QStringLiteral("  明細の取り込み..."),
        QStringLiteral("  ---"),
        QStringLiteral("  バックアップから復元..."),
        QStringLiteral("  データの書き出し..."),
        QStringLiteral("  データの読み込み..."),
        QStringLiteral("  同期の確認..."),
        QStringLiteral("  ---"),
        QStringLiteral("  終了\tCtrl+X"),
        QStringLiteral("編集"),
        QStringLiteral("  元に戻す\tCtrl+Z"),
        QStringLiteral("  やり直し\tCtrl+Y Ctrl+Shift+Z"),
        QStringLiteral("  ---"),
        QStringLiteral("  変更履歴..."),
        QStringLiteral("設定 "),
        QStringLiteral("  日記帳環境\tCtrl+S"),
        QStringLiteral("  予算設定\tCtrl+B"),
        QStringLiteral("  文字の大きさ..."),
        QStringLiteral("ﾍﾙﾌﾟ"),
        QStringLiteral("  ﾄﾋﾟｯｸ検索\tCtrl+H"),
        QStringLiteral("  ﾊﾞｰｼﾞｮﾝ情報\tCtrl+V"),
    };
    EXPECT_EQ(menuBarLines(form1->menuBar()), expected);

    // The toolbar: the step buttons, then the windows' buttons side by side.
    QStringList buttons;
    for (QToolButton* b : form1->findChild<QWidget*>(QStringLiteral("Panel2"))
                              ->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
        buttons << QStringLiteral("%1 %2 %3").arg(b->text()).arg(b->x()).arg(b->width());
    EXPECT_EQ(
        buttons,
        (QStringList{QStringLiteral(" 0 25"), QStringLiteral(" 25 25"), QStringLiteral(" 50 25"),
                     QStringLiteral("明細入力 75 50"), QStringLiteral("日記記帳 125 50"),
                     QStringLiteral("月別一覧 175 50"), QStringLiteral("年間一覧 225 50")}));

    // Every entry stays off until its window is made.
    for (QAction* own : {form1->Exit2, form1->Exit3, form1->K2, form1->K3, form1->About1})
        EXPECT_FALSE(own->isEnabled()) << own->text().toStdString();
    QList<QAction*> entries;
    for (const char* name : {"monthlyList", "yearOverview", "diarySearch", "schedule", "print",
                             "pdf", "statementImport", "restore", "exportBook", "importBook",
                             "changeHistory", "budget", "report"})
        entries << form1->findChild<QAction*>(QLatin1String(name));
    ASSERT_FALSE(entries.contains(nullptr));
    for (QAction* a : entries)
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    features.attach(*form1);
    for (QAction* a : entries)
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
}

} // namespace
