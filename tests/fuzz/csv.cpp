// CSV: fields read back through an RFC 4180 reader exactly as written, and
// a month loaded from the input exports a table whose rows all have the same
// width, after a byte order mark, with CR LF row ends.
#include "ledger/csv_export.h"
#include "ledger/month_table.h"
#include "tests/fuzz/fuzz_check.h"

#include <sstream>
#include <vector>

namespace {

using Rows = std::vector<std::vector<std::string>>;

// A plain reader of RFC 4180; false on text it does not allow.
bool readCsv(const std::string& text, Rows& rows) {
    std::size_t i = 0;
    while (i < text.size()) {
        std::vector<std::string> row;
        for (;;) {
            std::string field;
            if (i < text.size() && text[i] == '"') {
                for (++i;; ++i) {
                    if (i >= text.size()) return false;
                    if (text[i] != '"') {
                        field += text[i];
                    } else if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        ++i;
                    } else {
                        ++i;
                        break;
                    }
                }
            } else {
                while (i < text.size() && text[i] != ',' && text[i] != '\r') {
                    if (text[i] == '"' || text[i] == '\n') return false;
                    field += text[i++];
                }
            }
            row.push_back(field);
            if (i < text.size() && text[i] == ',') {
                ++i;
                continue;
            }
            if (text.compare(i, 2, "\r\n") != 0) return false;
            i += 2;
            break;
        }
        rows.push_back(row);
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string bytes = fuzzBytes(data, size);
    std::vector<std::string> fields = fuzzPieces(bytes);
    Rows rows;
    FUZZ_CHECK(readCsv(csvRow(fields), rows), "a row is RFC 4180");
    FUZZ_CHECK(rows.size() == 1 && rows[0] == fields, "fields read back as written");

    MonthLedger month;
    month.Items[1].Name = "\x90\x48\x94\xEF"; // 食費
    month.Items[2].Name = "\"q\"";
    month.Items[3].Name = "a\nb";
    try {
        std::istringstream in(bytes);
        loadMonth(month, in, LoadMode::Current);
        monthTable(month);
    } catch (const AppError&) {
        return 0;
    }
    const std::string csv = monthCsv(month, 1996, 2);
    FUZZ_CHECK(csv.compare(0, 3, "\xEF\xBB\xBF") == 0, "a byte order mark first");
    rows.clear();
    FUZZ_CHECK(readCsv(csv.substr(3), rows), "the month is RFC 4180");
    FUZZ_CHECK(rows.size() >= 3, "a header, the day totals and the balance");
    for (const auto& row : rows)
        FUZZ_CHECK(row.size() == 2 + 29, "every row has the items, the carry and 29 days");
    return 0;
}
