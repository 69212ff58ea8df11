// What a kept version changes against today's file, as the restore list
// sums it up.
#include "ledger/version_diff.h"

#include "ledger/cp932.h"

#include <gtest/gtest.h>

#include <functional>

TEST(VersionDiff, MonthSummaryNamesItemsDaysAndOnlyTheTotalsThatDiffer) {
    MonthLedger names;
    names.Items[1].Name = utf8ToCp932("食費");
    names.Items[2].Name = utf8ToCp932("光熱費");
    using Fill = std::function<void(MonthLedger&)>;
    struct Case {
        const char* what;
        Fill now, version;
        const char* summary;
    } cases[] = {
        {"nothing differs", [](MonthLedger& m) { m.Items[1].Days[3].Income = 5; },
         [](MonthLedger& m) { m.Items[1].Days[3].Income = 5; }, "今日と同じ"},
        {"an income changed, an expense moved to another day",
         [](MonthLedger& m) {
             m.Items[1].Days[3].Income = 120000;
             m.Items[2].Days[3].Expense = 5000;
         },
         [](MonthLedger& m) {
             m.Items[1].Days[3].Income = 100000;
             m.Items[2].Days[4].Expense = 5000;
         },
         "食費, 光熱費 / 2日 / 収入 120,000→100,000"},
        {"a refund gone", [](MonthLedger& m) { m.Items[2].Days[31].Expense = -1234567; },
         [](MonthLedger&) {}, "光熱費 / 1日 / 支出 -1,234,567→0"},
        {"only an item without a name differs",
         [](MonthLedger& m) { m.Items[5].Days[1].Expense = 9; }, [](MonthLedger&) {}, "今日と同じ"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MonthLedger now = names, version = names;
        c.now(now);
        c.version(version);
        // The version as the backup keeps it: the bytes of its file.
        EXPECT_EQ(monthChangeSummary(now, monthOfBytes(names, formatMonth(version))), c.summary);
    }
}

TEST(VersionDiff, DiarySummaryCountsLinesThatDifferOrAreMissing) {
    const struct {
        const char *now, *version, *summary;
    } cases[] = {
        {"a\r\nb\r\n", "a\r\nb\r\n", "今日と同じ"},
        {"a\r\nb\r\nc\r\n", "a\r\n", "2 行が異なります (3→1 行)"},
        {"a\r\n", "a\r\nb\r\n", "1 行が異なります (1→2 行)"},
        {"x\r\nb\r\n", "a\r\nb\r\n", "1 行が異なります (2→2 行)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(diaryChangeSummary(c.now, c.version), c.summary) << c.now << c.version;
}
