#include "windows/ver.h"

#include "shell/error_box.h"
#include "shell/zadud.h"
#include "tests/support/test_support.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

TEST(VersionDialog, ShowsTheFixedTextsAndClosesOnOk) {
    TempDir tmp;
    QDir::setCurrent(QString::fromStdString(tmp.path()));
    TForm1 form1;
    TForm6 form6(&form1);
    EXPECT_FALSE(form1.About1->isEnabled());
    form1.setVersion(&form6);
    ASSERT_TRUE(form1.About1->isEnabled());
    Modal::setRunner([](QDialog* d) { d->show(); });
    form1.About1->trigger();
    Modal::setRunner(nullptr);
    ASSERT_TRUE(form6.isVisible());

    EXPECT_EQ(form6.windowTitle(), "ﾊﾞｰｼﾞｮﾝ情報");
    EXPECT_EQ(form6.Button1->text(), "Ｏ Ｋ");
    const QStringList lines = form6.Label1->text().split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "    家計簿 Ver 1.3");
    EXPECT_TRUE(lines[1].contains("家計簿 Ver 1.3")) << "credits the project";
    EXPECT_TRUE(lines[2].contains("課題票")) << "names where to report problems";
    // Each credit line fits the fixed label without wrapping, so the three
    // lines fit its height.
    const QFontMetrics fm(form6.Label1->font());
    for (const QString& line : lines)
        EXPECT_LE(fm.horizontalAdvance(line), form6.Label1->width()) << line.toStdString();
    EXPECT_LE(form6.Label1->heightForWidth(form6.Label1->width()), form6.Label1->height());
    EXPECT_EQ(form6.size(), QSize(261, 127));

    QTest::mouseClick(form6.Button1, Qt::LeftButton);
    EXPECT_FALSE(form6.isVisible());
    QDir::setCurrent(QDir::tempPath());
}
