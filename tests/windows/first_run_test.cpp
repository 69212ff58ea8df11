// A newcomer's first start: no ZADUD.CFG yet, but a month file already in the
// folder. The missing file is reported once, the settings create it, and the
// month is read before anything is saved, so its amounts survive.
#include "ledger/cp932.h"
#include "shell/calendar.h"
#include "shell/error_box.h"
#include "shell/zadud.h"
#include "tests/support/test_support.h"
#include "windows/nikiset.h"

#include <QAction>
#include <QDir>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

TEST(FirstRun, MissingConfigThenSettingsThenTheMonthIsKept) {
    TempDir dir;
    const QString old = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(dir.path()));
    QStringList errors;
    ErrorBox::setRecorder([&](const QString& text) { errors << text; });
    Modal::setRunner([](QDialog* d) { d->show(); });

    const std::string food = utf8ToCp932("食費");
    std::string existing = food + ",0,00000100,";
    for (int i = 0; i < 30; ++i)
        existing += "00000000,";
    existing += "00000100,\r\n";
    writeBytes(dir.file("20245.txt"), existing);

    {
        TForm1 form1;
        TForm4 form4(&form1);
        form1.setSettings(&form4);
        form1.document().setLocationChecks(
            [&](const QString& p) { return form4.checkLedgerLocation(p); },
            [&](const QString& p) { return form4.checkDiaryLocation(p); });
        form1.mc->setDay(1);
        form1.mc->setYear(2024);
        form1.mc->setMonth(5);
        form1.mc->setDay(10);
        form1.show();
        runGuarded([&] { form1.FormActivate(); });
        ASSERT_EQ(errors, QStringList{"ﾌｧｲﾙが見つかりません."});
        EXPECT_EQ(form1.nen->text(), "2024年5月");
        EXPECT_FALSE(fileExists(dir.file("ZADUD.CFG")));

        // Closing now must not empty the month file.
        form1.MonthSave();
        EXPECT_EQ(readBytes(dir.file("20245.txt")), existing);

        form1.K2->trigger();
        ASSERT_TRUE(form4.isVisible());
        auto* item1 = form4.findEdit(3);
        item1->setFocus();
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("食費"));
        QApplication::sendEvent(item1, &commit);
        QTest::mouseClick(form4.Button1, Qt::LeftButton);
        EXPECT_FALSE(form4.isVisible());
        EXPECT_EQ(errors.size(), 1);

        // The month was loaded under the new names: its amount is there, and
        // an entry made now is kept with it.
        EXPECT_EQ(form1.Ledger.Items[1].Name, food);
        EXPECT_EQ(form1.Ledger.Items[1].Days[1].Income, 100);
        form1.Ledger.Items[1].Days[2].Income = 50;
        EXPECT_TRUE(form1.close());
    }
    const std::string cfg = readBytes(dir.file("ZADUD.CFG"));
    EXPECT_EQ(cfg, "ZADUD=" + dir.path() + "\r\nMEMO=" + dir.path() + "\r\nkamo1=" + food + "\r\n");
    const std::string saved = readBytes(dir.file("20245.txt"));
    EXPECT_EQ(saved.rfind(food + ",0,00000100,00000050,00000000,", 0), 0u) << saved;

    Modal::setRunner(nullptr);
    ErrorBox::setRecorder(nullptr);
    QDir::setCurrent(old);
}
