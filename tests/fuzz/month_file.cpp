// Month files in both modes, with names that include CP932 text, a trail
// byte of 0x5C, a name given twice and an unnamed slot: whatever loads saves,
// reads back to the same values, other lines and carry-over, and saves again
// to the same bytes; the saved month loads in the previous-month mode with
// each item's closing balance.
#include "ledger/month_ledger.h"
#include "tests/fuzz/fuzz_check.h"

#include <sstream>

namespace {

MonthLedger named() {
    MonthLedger m;
    m.Items[1].Name = "\x90\x48\x94\xEF"; // 食費
    m.Items[2].Name = "\x83\x5C";         // ソ: its trail byte is "\"
    m.Items[3].Name = "\x95\x5C\x8E\xA6"; // 表示
    m.Items[4].Name = "A";
    m.Items[7].Name = "A";         // the same name again
    m.Items[12].Name = "\xEE\xE0"; // 髙, a code shared with FB FC
    return m;                      // 5, 6, 8 to 11 unnamed
}

void load(MonthLedger& m, const std::string& bytes, LoadMode mode) {
    std::istringstream in(bytes);
    loadMonth(m, in, mode);
}

bool firstOfName(const MonthLedger& m, int i) {
    if (m.Items[i].Name.empty()) return false;
    for (int j = 1; j < i; ++j)
        if (m.Items[j].Name == m.Items[i].Name) return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string bytes = fuzzBytes(data, size);
    MonthLedger month = named(), before = named();
    try {
        // The file as the month before (its closings carry in), then as the month.
        load(before, bytes, LoadMode::Previous);
        month.CarryOver = before.CarryOver;
        load(month, bytes, LoadMode::Current);
        checkTotals(month);
    } catch (const AppError&) {
        return 0; // refused at load: never saved
    }
    for (int i = 1; i <= ShownItems; ++i) {
        if (firstOfName(month, i)) continue;
        for (int d = 1; d <= 31; ++d)
            FUZZ_CHECK(month.Items[i].Days[d].Income == 0 && month.Items[i].Days[d].Expense == 0,
                       "an unnamed slot or a repeated name gets no amount");
    }

    const std::string saved = formatMonth(month); // a loaded month can be saved
    MonthLedger back = named(), closing = named();
    load(back, saved, LoadMode::Current);
    load(closing, saved, LoadMode::Previous);
    for (int i = 1; i <= ShownItems; ++i) {
        int64_t net = 0;
        for (int d = 1; d <= 31; ++d) {
            const DayCell& a = month.Items[i].Days[d];
            const DayCell& b = back.Items[i].Days[d];
            FUZZ_CHECK(a.Income == b.Income && a.Expense == b.Expense, "days read back the same");
            net += int64_t{a.Income} - a.Expense;
        }
        const int64_t expected = firstOfName(month, i) ? month.CarryOver[i] + net : 0;
        FUZZ_CHECK(closing.CarryOver[i] == expected, "the saved month carries its closing balance");
    }
    FUZZ_CHECK(back.OtherLines == month.OtherLines, "lines of other names are kept in order");
    back.CarryOver = month.CarryOver;
    FUZZ_CHECK(formatMonth(back) == saved, "a reloaded month saves to the same bytes");
    return 0;
}
