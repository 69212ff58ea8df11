#pragma once
// A main window in a temporary working directory, with its calendar on a
// set date. Modal showings show the window and make it active without a
// modal loop, so shortcuts reach it; error boxes are recorded.

#include "ledger/text_file.h"
#include "shell/calendar.h"
#include "shell/error_box.h"
#include "shell/zadud.h"
#include "storage/disk_store.h"
#include "tests/support/test_support.h"

#include <QDialog>
#include <QDir>
#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        QDir::setCurrent(QString::fromStdString(tmp.path()));
        doc = std::make_unique<BookDocument>(tmp.path(), windowFiles());
        form1 = std::make_unique<TForm1>(*doc);
        ErrorBox::setRecorder([this](const QString& text) { errors << text; });
        ErrorBox::setInformRecorder([this](const QString& text) { notes << text; });
        Modal::setRunner([](QDialog* d) {
            d->show();
            d->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(d));
        });
    }
    void TearDown() override {
        Modal::setRunner(nullptr);
        ErrorBox::setRecorder(nullptr);
        ErrorBox::setInformRecorder(nullptr);
        QDir::setCurrent(QDir::tempPath());
    }

    // What the window's document writes through.
    virtual FileStore& windowFiles() { return disk; }

    void setDate(int y, int m, int d) {
        form1->mc->setDay(1);
        form1->mc->setYear(y);
        form1->mc->setMonth(m);
        form1->mc->setDay(d);
    }

    TempDir tmp;
    // The files the window writes; a test plants its faults here.
    DiskStore disk;
    std::unique_ptr<BookDocument> doc;
    std::unique_ptr<TForm1> form1;
    QStringList errors;
    QStringList notes; // what the information box said
};
