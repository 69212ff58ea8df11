#include "ledger/errors.h"
#include "ledger/export_month.h"
#include "ledger/text_file.h"
#include "storage/disk_store.h"
#include "tests/support/file_support.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace {

// Item "A": an income line with `day1` on day 1 and the total `income`, and
// an expense line totalling 300.
std::string monthFile(int32_t day1, int32_t income) {
    std::string lines[2] = {"A,0,", "A,1,"};
    char field[16];
    for (int d = 1; d <= 32; ++d)
        for (int i = 0; i < 2; ++i) {
            const int32_t v = d == 32 ? (i == 0 ? income : 300) : (i == 0 && d == 1 ? day1 : 0);
            std::snprintf(field, sizeof field, "%08d,", v);
            lines[i] += field;
        }
    return lines[0] + "\r\n" + lines[1] + "\r\n";
}

} // namespace

TEST(ExportMonth, ReadsCarryAndDaysAndRefusesBrokenFiles) {
    struct Case {
        const char* nov; // "" no file, "bad" malformed, else good
        const char* dec;
        const char* unreadable; // a file whose read fails with EACCES
        const char* error;      // nullptr: read
    } cases[] = {
        {"good", "good", "", nullptr},
        {"", "", "", nullptr},
        {"good", "bad", "", "'x' は整数ではありません"},
        {"bad", "good", "", "'x' は整数ではありません"},
        {"good", "good", "199612.txt", msg::AccessDenied},
        {"good", "good", "199611.txt", msg::AccessDenied},
    };
    for (const Case& c : cases) {
        const std::string label = std::string(c.nov) + "/" + c.dec + "/" + c.unreadable;
        TempFolder dir;
        for (auto [which, name, day1] :
             {std::tuple{c.nov, "199611.txt", 0}, {c.dec, "199612.txt", 40}})
            if (*which)
                writeBytes(dir.file(name), std::string(which) == "bad"
                                               ? "A,0,x,\r\n"
                                               : monthFile(day1, day1 + 1000));
        disk.setFaults([&](const std::string& path, const std::string& step) {
            return step == "read" && path == dir.file(c.unreadable) ? EACCES : 0;
        });
        MonthLedger ledger;
        ledger.Items[1].Name = "A";
        try {
            readMonthForExport(disk, ledger, dir.path(), 1996, 12);
            EXPECT_EQ(c.error, nullptr) << label;
            EXPECT_EQ(ledger.CarryOver[1], *c.nov ? 700 : 0) << label;
            EXPECT_EQ(ledger.Items[1].Days[1].Income, *c.dec ? 40 : 0) << label;
        } catch (const AppError& e) {
            EXPECT_STREQ(e.what(), c.error ? c.error : "(no error)") << label;
        }
        disk.setFaults(nullptr);
    }
}
