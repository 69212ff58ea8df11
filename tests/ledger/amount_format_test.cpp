#include "ledger/amount_format.h"
#include "ledger/errors.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

namespace {

struct FmtRow {
    int32_t value;
    int leadingSpaces;
    const char* shown;
};

// The worked table, then the values around the point where a text needs
// more than 12 characters, and the 32-bit extremes.
const FmtRow kRows[] = {
    {0, 11, "0"},
    {5, 11, "5"},
    {123, 9, "123"},
    {1234, 7, "1,234"},
    {1234567, 3, "1,234,567"},
    {12345678, 2, "12,345,678"},
    {999999999, 1, "999,999,999"},
    {-1, 10, "-1"},
    {-123, 8, "-123"},
    {-1234, 6, "-1,234"},
    {-123456, 4, "-123,456"},
    {-99999999, 1, "-99,999,999"},
    {-123456789, 0, "-123,456,789"},
    {-12, 9, "-12"},
    {-12345, 5, "-12,345"},
    {100000, 5, "100,000"},
    {-999999999, 0, "-999,999,999"},
    {1000000000, 0, "1,000,000,000"},
    {-1000000000, 0, "-1,000,000,000"},
    {INT32_MAX, 0, "2,147,483,647"},
    {INT32_MIN, 0, "-2,147,483,648"},
};

class AmountFmtTable : public testing::TestWithParam<FmtRow> {};

TEST_P(AmountFmtTable, PadsAndGroups) {
    const FmtRow& row = GetParam();
    EXPECT_EQ(AmountFmt(row.value), std::string(row.leadingSpaces, ' ') + row.shown);
}

INSTANTIATE_TEST_SUITE_P(Worked, AmountFmtTable, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<FmtRow>& info) {
                             const int32_t v = info.param.value;
                             return (v < 0 ? "minus" : "") +
                                    std::to_string(v < 0 ? -int64_t{v} : int64_t{v});
                         });

// Every value reads back through ConmaCut; up to nine digits the text is
// exactly 12 characters, beyond that it only grows.
TEST(AmountFmt, RoundTripsAcrossThe32BitRange) {
    auto check = [](int32_t v) {
        const std::string text = AmountFmt(v);
        const int64_t magnitude = v < 0 ? -int64_t{v} : v;
        if (magnitude <= 999999999)
            EXPECT_EQ(text.size(), 12u) << v;
        else
            EXPECT_GE(text.size(), 13u) << v;
        EXPECT_EQ(parseInt32(ConmaCut(text)), v) << '"' << text << '"';
    };
    // Every power of ten and its neighbours, both signs.
    for (int64_t p = 1; p <= INT32_MAX; p *= 10)
        for (int64_t d : {-1, 0, 1})
            for (int sign : {1, -1})
                check(static_cast<int32_t>(sign * (p + d)));
    // A stride across the whole range that hits every digit count.
    for (int64_t v = INT32_MIN; v <= INT32_MAX; v += 9973 * 1003 + 7)
        check(static_cast<int32_t>(v));
    for (int32_t v : {INT32_MIN, INT32_MIN + 1, INT32_MAX - 1, INT32_MAX})
        check(v);
}

TEST(ConmaCut, StripsSeparatorsAndSpaces) {
    const std::pair<const char*, const char*> rows[] = {
        {"           0", "0"},
        {"      -1,234", "-1234"},
        {"", "0"},
        {"            ", "0"},
        {",,", "0"},
        {"1 2,3", "123"},
        {"-2,147,483,648", "-2147483648"},
        {"abc", "abc"},
    };
    for (const auto& [in, out] : rows)
        EXPECT_EQ(ConmaCut(in), out) << '"' << in << '"';
}

// The one grouping every window and message shows, 64 bits wide.
TEST(GroupedAmount, GroupsBothSignsAcrossThe64BitRange) {
    const std::pair<int64_t, const char*> rows[] = {
        {0, "0"},
        {999, "999"},
        {1000, "1,000"},
        {-1000, "-1,000"},
        {-999999, "-999,999"},
        {4294967296, "4,294,967,296"},
        {INT64_MAX, "9,223,372,036,854,775,807"},
        {INT64_MIN, "-9,223,372,036,854,775,808"},
    };
    for (const auto& [value, shown] : rows)
        EXPECT_EQ(groupedAmount(value), shown) << value;
}

} // namespace
