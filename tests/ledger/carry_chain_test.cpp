#include "ledger/carry_chain.h"
#include "ledger/csv_export.h"
#include "ledger/text_file.h"
#include "ledger/year_model.h"
#include "storage/disk_store.h"
#include "tests/support/file_support.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace {

MonthLedger configured(std::initializer_list<const char*> names) {
    MonthLedger l;
    int i = 0;
    for (const char* n : names)
        l.Items[++i].Name = n;
    return l;
}

struct Entry {
    int item, day, income, expense;
};

// A month file as the program writes it, for the given brought-in balances.
std::string month(const MonthLedger& names, std::initializer_list<int32_t> carry,
                  std::initializer_list<Entry> entries) {
    MonthLedger l = names;
    int i = 0;
    for (int32_t c : carry)
        l.CarryOver[++i] = c;
    for (const Entry& e : entries)
        l.Items[e.item].Days[e.day] = {e.income, e.expense};
    return formatMonth(l);
}

std::string file(const TempFolder& dir, int y, int m) {
    return dir.file(monthFileName(y, m));
}

} // namespace

TEST(YearModel, MissingStaleMalformedAndRenamedMonths) {
    TempFolder dir;
    const MonthLedger cfg = configured({"A", "B"});
    writeBytes(file(dir, 1995, 11), month(cfg, {100, 0}, {})); // December 1995 has no file
    writeBytes(file(dir, 1996, 1), month(cfg, {100, 0}, {{1, 1, 1000, 0}, {2, 2, 0, 200}}));
    // February has no file; March brings in January's closing balances.
    writeBytes(file(dir, 1996, 3), month(cfg, {1100, -200}, {{1, 5, 0, 300}}));
    // April still brings in what March closed with before an edit.
    writeBytes(file(dir, 1996, 4), month(cfg, {900, -200}, {{1, 1, 10, 0}}));
    writeBytes(file(dir, 1996, 5), "A,0,00000001,zz,\r\n");
    // June was saved while B was called "Bold"; July under the new name.
    writeBytes(file(dir, 1996, 6), month(configured({"A", "Bold"}), {810, -200}, {{2, 1, 50, 0}}));
    writeBytes(file(dir, 1996, 7), month(cfg, {810, -150}, {{2, 1, 7, 0}}));

    const YearModel y = buildYearModel(disk, cfg, dir.path(), 1996);
    const YearMonth& jan = y.months[1];
    EXPECT_EQ(jan.state, MonthFileState::Read);
    EXPECT_FALSE(jan.stale);
    EXPECT_EQ(jan.broughtIn, 100);
    EXPECT_EQ(jan.income[1], 1000);
    EXPECT_EQ(jan.expense[2], 200);
    EXPECT_EQ(jan.closing, 900);

    const YearMonth& feb = y.months[2];
    EXPECT_EQ(feb.state, MonthFileState::Missing);
    EXPECT_TRUE(feb.balanceKnown);
    EXPECT_EQ(feb.totalNet, 0);
    EXPECT_EQ(feb.closing, 900);
    EXPECT_FALSE(y.months[3].stale);
    EXPECT_EQ(y.months[3].closing, 600);
    EXPECT_TRUE(y.months[4].stale);
    EXPECT_EQ(y.months[4].broughtIn, 700); // as stored, not as it should be

    const YearMonth& may = y.months[5];
    EXPECT_EQ(may.state, MonthFileState::Unreadable);
    EXPECT_NE(may.error.find("'zz'"), std::string::npos) << may.error;
    EXPECT_EQ(may.income[1], 0); // the 1 read before the bad field is not counted

    const YearMonth& jun = y.months[6];
    EXPECT_EQ(jun.income[2], 0);
    EXPECT_EQ(jun.otherNames, std::vector<std::string>{"Bold"});
    EXPECT_FALSE(jun.stale);         // after an unreadable month nothing is known to compare
    EXPECT_FALSE(y.months[7].stale); // B has no lines in June to compare with
    EXPECT_EQ(y.months[7].income[2], 7);
    EXPECT_EQ(y.months[8].state, MonthFileState::Missing);
    EXPECT_EQ(y.months[8].closing, y.months[7].closing);

    EXPECT_EQ(y.income[1], 1000 + 10);
    EXPECT_EQ(y.expense[1], 300);
    EXPECT_EQ(y.net[2], -200 + 7);
    EXPECT_EQ(y.totalNet, 1000 - 200 - 300 + 10 + 7);
    EXPECT_EQ(y.staleMonths(), std::vector<int>{4});
    EXPECT_EQ(y.unreadableMonths(), std::vector<int>{5});

    // The month held in memory counts with its edits, unsaved.
    MonthLedger held = cfg;
    held.CarryOver[1] = 1100;
    held.CarryOver[2] = -200;
    held.Items[1].Days[9].Expense = 1;
    const YearModel h = buildYearModel(disk, cfg, dir.path(), 1996, {1996, 2, &held});
    EXPECT_EQ(h.months[2].state, MonthFileState::Read);
    EXPECT_EQ(h.months[2].closing, 899);
    EXPECT_TRUE(h.months[3].stale);
}

TEST(CarryRepair, RewritesOnlyTotalsAndKeepsOtherNamesLines) {
    TempFolder dir;
    const MonthLedger cfg = configured({"A", "B"});
    writeBytes(file(dir, 1996, 1), month(cfg, {0, 0}, {{1, 1, 500, 0}}));
    const std::string other = "Old,0,00000001,\r\nOld,1,3,\r\n";
    std::string feb = month(cfg, {100, 0}, {{1, 2, 5, 1}, {2, 3, 0, 40}});
    feb.insert(feb.find("B,0"), other);
    writeBytes(file(dir, 1996, 2), feb);
    writeBytes(file(dir, 1996, 5), month(cfg, {104, -40}, {{2, 31, 9, 0}}));
    const std::string jan = readBytes(file(dir, 1996, 1));

    const CarryRepairPlan plan = planCarryRepair(disk, cfg, dir.path(), 1996);
    EXPECT_EQ(plan.months, (std::vector<MonthKey>{{1996, 2}, {1996, 5}}));
    EXPECT_EQ(plan.stopsAt.year, 0);
    EXPECT_EQ(readBytes(file(dir, 1996, 2)), feb); // planning writes nothing

    EXPECT_EQ(repairCarryChain(disk, cfg, dir.path(), 1996), plan.months);
    std::string fixedFeb = month(cfg, {500, 0}, {{1, 2, 5, 1}, {2, 3, 0, 40}});
    fixedFeb.insert(fixedFeb.find("B,0"), other);
    EXPECT_EQ(readBytes(file(dir, 1996, 1)), jan);
    EXPECT_EQ(readBytes(file(dir, 1996, 2)), fixedFeb);
    EXPECT_EQ(readBytes(file(dir, 1996, 5)), month(cfg, {504, -40}, {{2, 31, 9, 0}}));
    EXPECT_TRUE(buildYearModel(disk, cfg, dir.path(), 1996).staleMonths().empty());
    EXPECT_TRUE(planCarryRepair(disk, cfg, dir.path(), 1996).months.empty());
}

TEST(CarryRepair, StopsAtTheFirstMonthItCannotReadOrWrite) {
    const MonthLedger cfg = configured({"A"});
    struct Case {
        const char* what;
        bool malformed;
    } cases[] = {{"unreadable", true}, {"write refused", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder dir;
        writeBytes(file(dir, 1996, 1), month(cfg, {0}, {{1, 1, 500, 0}}));
        writeBytes(file(dir, 1996, 2), month(cfg, {0}, {}));
        const std::string mar = c.malformed ? "A,0,-,\r\n" : month(cfg, {0}, {});
        writeBytes(file(dir, 1996, 3), mar);
        const std::string apr = month(cfg, {0}, {{1, 4, 0, 4}});
        writeBytes(file(dir, 1996, 4), apr);
        const std::string marPath = file(dir, 1996, 3);
        disk.setFaults([&](const std::string& path, const std::string&) {
            return !c.malformed && path == marPath ? EACCES : 0;
        });
        try {
            repairCarryChain(disk, cfg, dir.path(), 1996);
            ADD_FAILURE() << "no error";
        } catch (const AppError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("1996年3月: ", 0), 0u) << e.what();
        }
        disk.setFaults(nullptr);
        EXPECT_EQ(readBytes(file(dir, 1996, 2)), month(cfg, {500}, {}));
        EXPECT_EQ(readBytes(file(dir, 1996, 3)), mar);
        EXPECT_EQ(readBytes(file(dir, 1996, 4)), apr);
        if (c.malformed) {
            EXPECT_EQ(planCarryRepair(disk, cfg, dir.path(), 1996).stopsAt, (MonthKey{1996, 3}));
        }
    }
}

TEST(Csv, OneMonthBytes) {
    MonthLedger l = configured({"食費", "x\"y"});
    l.Items[1].Name = "\x90\x48\x94\xEF"; // 食費 in code page 932
    l.CarryOver[1] = 1000;
    l.Items[1].Days[1] = {0, 300};
    l.Items[2].Days[30] = {50, 0};
    l.Items[2].Days[31] = {7, 0}; // April has no day 31
    std::string expected = "\xEF\xBB\xBF項目,繰越";
    std::string a = "食費,1000,-300", b = "\"x\"\"y\",0,0", total = "日計,,-300",
                balance = "残高,1000,700";
    for (int d = 1; d <= 30; ++d) {
        expected += "," + std::to_string(d) + "日";
        if (d == 1) continue;
        a += ",0";
        b += d == 30 ? ",50" : ",0";
        total += d == 30 ? ",50" : ",0";
        balance += d == 30 ? ",750" : ",700";
    }
    expected += "\r\n" + a + "\r\n" + b + "\r\n" + total + "\r\n" + balance + "\r\n";
    EXPECT_EQ(monthCsv(l, 1996, 4), expected);
    EXPECT_EQ(csvField("a,b"), "\"a,b\"");
}
