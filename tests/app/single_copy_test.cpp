// One running copy per book: a second start hands over to the running one,
// a command-line write is refused while it runs.
#include "app/single_copy.h"
#include "ledger/budget_plan.h"
#include "tests/app/run_zadud.h"
#include "tests/support/file_support.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

TEST(SingleCopy, ASecondStartIsHandedToTheRunningCopyAndAWriteIsRefused) {
    int argc = 1;
    char name[] = "single_copy_test";
    char* argv[] = {name};
    QCoreApplication app(argc, argv);
    TempFolder tmp;
    writeBytes(tmp.file("ZADUD.CFG"), "kamo1=Rent\r\n");

    // The window's copy: holds the book and listens.
    BookLock window(tmp.path());
    ASSERT_TRUE(window.acquire(0));
    int raised = 0;
    ASSERT_TRUE(window.listen([&] { ++raised; }));
    EXPECT_FALSE(BookLock(tmp.path() + "/.").acquire(0)) << "one book, however it is spelled";
    TempFolder other;
    EXPECT_TRUE(BookLock(other.path()).acquire(0)) << "another folder is another book";

    struct Run {
        const char* args;
        int code;
    } runs[] = {{"", 0}, {"--set-budget 2026-12 Rent 100", 1}, {"--budget 2026-12", 0}};
    for (const Run& r : runs) {
        SCOPED_TRACE(r.args);
        const int before = raised;
        std::tuple<int, std::string, std::string> result;
        // The program runs while this copy answers it.
        std::thread start([&] {
            result = runZadud(tmp, r.args);
            QMetaObject::invokeMethod(
                &app, [&app] { app.quit(); }, Qt::QueuedConnection);
        });
        app.exec();
        start.join();
        const auto& [code, out, err] = result;
        EXPECT_EQ(code, r.code) << err;
        EXPECT_EQ(raised, before + (*r.args ? 0 : 1)) << "only a start with a window hands over";
        if (r.code == 1) {
            EXPECT_NE(err.find("ｳｨﾝﾄﾞｳ"), std::string::npos) << err;
            EXPECT_FALSE(fileExists(tmp.file(BudgetFileName)));
        }
    }
}

TEST(SingleCopy, ACopyOnItsWayOutHandsNothingOverAndLeavesTheLockToTheNextStart) {
    int argc = 1;
    char name[] = "single_copy_test";
    char* argv[] = {name};
    QCoreApplication app(argc, argv);
    TempFolder tmp;
    BookLock next(tmp.path());
    EXPECT_TRUE(next.lockFree()) << "no copy runs yet";
    auto closing = std::make_unique<BookLock>(tmp.path());
    ASSERT_TRUE(closing->acquire(0));
    EXPECT_FALSE(closing->lockFree()) << "its own lock counts";
    int raised = 0;
    ASSERT_TRUE(closing->listen([&] { ++raised; }));
    // Its window has closed: it no longer answers, and still holds the book.
    closing->stopListening();
    EXPECT_FALSE(next.lockFree());
    EXPECT_FALSE(next.acquire(0));
    EXPECT_FALSE(next.handOver(100));
    EXPECT_EQ(raised, 0);
    closing.reset();
    EXPECT_TRUE(next.lockFree()) << "gone with its process";
    EXPECT_FALSE(next.handOver(3000));
    EXPECT_TRUE(next.acquire(0));
}
