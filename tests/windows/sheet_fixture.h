#pragma once
// The main window, the daily sheet and the amount dialog wired as the
// program wires them, in a temporary working directory. Modal showings are
// recorded and shown without a modal loop; error boxes are recorded.

#include "controls/NewNumEdit.h"
#include "controls/string_grid.h"
#include "ledger/amount_format.h"
#include "ledger/config_file.h"
#include "ledger/cp932.h"
#include "ledger/text_file.h"
#include "shell/calendar.h"
#include "shell/error_box.h"
#include "shell/zadud.h"
#include "storage/disk_store.h"
#include "tests/support/test_support.h"
#include "windows/hikei.h"
#include "windows/nyukin.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

// Readable failure output for texts.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

class SheetFixture : public testing::Test {
protected:
    void SetUp() override {
        ErrorBox::setRecorder([this](const QString& text) { errors << text; });
        ErrorBox::setInformRecorder([this](const QString& text) { notes << text; });
        Modal::setRunner([this](QDialog* d) {
            shown.push_back(d);
            d->show();
            QApplication::setActiveWindow(d);
        });
        const QString old = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(dir.path()));
        doc = std::make_unique<BookDocument>(dir.path(), disk);
        form1 = std::make_unique<TForm1>(*doc);
        QDir::setCurrent(old);
        form2 = new TForm2(form1.get());
        form1->setDailySheet(form2);
        form1->setSheetFiller([this] { SheetDisp(*form1, *form2); });
        form5 = new TForm5(form1.get(), form2);
        form2->setAmountDialog(form5);
    }

    void TearDown() override {
        Modal::setRunner(nullptr);
        ErrorBox::setRecorder(nullptr);
        ErrorBox::setInformRecorder(nullptr);
    }

    // Sets the calendar, writes the configuration naming the items and runs
    // the main window's activation: configuration, then the month.
    void start(int year, int month, int day, const std::vector<std::pair<int, QString>>& names) {
        setDate(year, month, day);
        ConfigValues cfg{dir.path(), dir.path(), {}};
        for (const auto& [i, name] : names)
            cfg.names[i - 1] = utf8ToCp932(name.toStdString());
        writeConfig(disk, dir.path(), cfg);
        form1->FormActivate();
        ASSERT_TRUE(form1->monthSavable());
    }

    void setDate(int year, int month, int day) {
        form1->mc->setDay(1);
        form1->mc->setMonth(month);
        form1->mc->setYear(year);
        form1->mc->setDay(day);
    }

    QString date() const {
        return QStringLiteral("%1-%2-%3")
            .arg(form1->mc->Year())
            .arg(form1->mc->Month())
            .arg(form1->mc->Day());
    }

    QString cell(int col, int row) const { return form2->SG1->cell(col, row); }
    static QString amount(int32_t v) { return QString::fromLatin1(AmountFmt(v)); }
    DayCell& day(int item, int d) { return form1->Ledger.Items[item].Days[d]; }
    std::string monthFile(int year, int month) const {
        return dir.file(monthFileName(year, month));
    }

    TempDir dir;
    // The files the window writes; a test plants its faults here.
    DiskStore disk;
    std::unique_ptr<BookDocument> doc;
    std::unique_ptr<TForm1> form1;
    TForm2* form2 = nullptr; // children of form1
    TForm5* form5 = nullptr;
    QStringList errors;
    QStringList notes; // what the information box said
    std::vector<QDialog*> shown;
};
