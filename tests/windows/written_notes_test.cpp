// Every command that writes a file the user chose says where when it is
// done, and only then: a write that fails shows its error and no note.
#include "ledger/errors.h"
#include "storage/backup_files.h"
#include "tests/windows/main_window_fixture.h"
#include "windows/backup_window.h"
#include "windows/ichiran.h"
#include "windows/list1.h"
#include "windows/print_feature.h"
#include "windows/year_overview.h"
#include "windows/year_overview_feature.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <functional>
#include <gtest/gtest.h>

namespace {

class WrittenNotes : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        disk.setSync([](int) { return 0; });
        writeBytes(tmp.file("ZADUD.CFG"), "kamo1=A\r\n");
        setDate(1996, 12, 5);
        form1->CfgRead();
        form1->LoadMonths();
        // File dialogs take the test's name; previews print to it.
        Modal::setRunner([this](QDialog* d) {
            if (auto* files = qobject_cast<QFileDialog*>(d)) {
                files->selectFile(QString::fromStdString(out));
                QMetaObject::invokeMethod(files, "accept", Qt::DirectConnection);
            } else if (auto* preview = qobject_cast<QPrintPreviewDialog*>(d)) {
                preview->printer()->setOutputFileName(QString::fromStdString(out));
                preview->accept();
            }
        });
    }
    void TearDown() override {
        disk.setFaults(nullptr);
        MainWindowFixture::TearDown();
    }

    FileStore& windowFiles() override { return store; }
    BackupStore store{disk,
                      [this] {
                          return BookFolders{tmp.path(), tmp.path(), tmp.path()};
                      },
                      [] { return std::time_t(850000000); }};
    std::string out;
};

struct Case {
    const char* what;
    const char* file;
    const char* said; // before ": <path>"
    bool throughBook; // written through the book's files, where a refusal is planted
    std::function<void(const QString& path)> run;
};

TEST_F(WrittenNotes, EachWriteSaysWhereOnlyWhenItSucceeded) {
    const Case cases[] = {
        {"monthly list CSV", "month.csv", "CSV を書き出しました", true,
         [this](const QString& path) {
             TForm7 list(form1.get());
             list.setSavePathAsker([path](const QString&) { return path; });
             list.CsvExportClick();
         }},
        {"year overview CSV", "year.csv", "CSV を書き出しました", true,
         [this](const QString& path) {
             TForm7 list(form1.get());
             form1->setMonthlyList(&list);
             YearOverviewFeature feature;
             form1->install(feature);
             feature.attach(*form1);
             feature.window()->setSavePathAsker([path](const QString&) { return path; });
             feature.window()->exportCsv();
             form1->setMonthlyList(nullptr);
         }},
        {"archive", "book.zip", "データを書き出しました", true,
         [this](const QString& path) {
             BackupWindow window(form1.get(), &store);
             window.setPathAsker([path](bool) { return path; });
             window.exportBook();
         }},
        {"PDF", "month.pdf", "PDF を書き出しました", true,
         [this](const QString&) {
             PrintFeature printout;
             form1->install(printout);
             printout.attach(*form1);
             printout.printer()->Pdf1Click();
         }},
        {"print to a file", "printed.pdf", "印刷を PDF に書き出しました", false,
         [this](const QString&) {
             PrintFeature printout;
             form1->install(printout);
             printout.attach(*form1);
             printout.printer()->Print1Click();
         }},
    };
    for (const Case& c : cases) {
        // The printer writes by itself, past the book's files.
        for (const bool fails : {true, false}) {
            if (fails && !c.throughBook) continue;
            out = tmp.file(std::string(fails ? "refused-" : "") + c.file);
            const QString path = QString::fromStdString(out);
            disk.setFaults([fails](const std::string& p, const std::string& step) {
                return fails && step == "write" && p.find("refused-") != std::string::npos ? ENOSPC
                                                                                           : 0;
            });
            errors.clear();
            notes.clear();
            runGuarded([&] { c.run(path); });
            if (fails) {
                EXPECT_EQ(errors.size(), 1) << c.what;
                EXPECT_TRUE(notes.isEmpty()) << c.what << ": " << notes.join('|').toStdString();
                continue;
            }
            EXPECT_TRUE(errors.isEmpty()) << c.what << ": " << errors.join('|').toStdString();
            EXPECT_EQ(notes, QStringList{QString::fromUtf8(c.said) + QStringLiteral(": ") +
                                         QDir::toNativeSeparators(path)})
                << c.what;
        }
    }
}

} // namespace
