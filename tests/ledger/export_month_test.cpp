#include "ledger/diary_file.h"
#include "ledger/errors.h"
#include "ledger/export_month.h"
#include "ledger/text_file.h"
#include "tests/support/file_support.h"

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

// One named item: an income line and an expense line, 31 days and a total.
std::string monthLine(const char* flag, int32_t day1, int32_t total) {
    std::string line = std::string("A,") + flag + ",";
    char field[16];
    for (int d = 1; d <= 31; ++d) {
        std::snprintf(field, sizeof field, "%08d,", d == 1 ? day1 : 0);
        line += field;
    }
    std::snprintf(field, sizeof field, "%08d,", total);
    return line + field + "\r\n";
}

MonthLedger namedA() {
    MonthLedger ledger;
    ledger.Items[1].Name = "A";
    return ledger;
}

} // namespace

TEST(ExportMonth, ReadsCarryAndDaysAndRefusesBrokenFiles) {
    struct Case {
        const char* label;
        const char* nov; // nullptr: no file
        const char* dec;
        const char* fault; // a file whose read fails with EACCES
        const char* error; // nullptr: read
    } cases[] = {
        {"both read", "good", "good", nullptr, nullptr},
        {"missing months read as zero", nullptr, nullptr, nullptr, nullptr},
        {"malformed month", "good", "bad", nullptr, "'x' は整数ではありません"},
        {"malformed carry", "bad", "good", nullptr, "'x' は整数ではありません"},
        {"unreadable month", "good", "good", "199612.txt", msg::AccessDenied},
        {"unreadable carry", "good", "good", "199611.txt", msg::AccessDenied},
    };
    for (const Case& c : cases) {
        TempFolder dir;
        auto write = [&](const char* which, const char* name, int32_t day1) {
            if (!which) return;
            const std::string income =
                std::string(which) == "bad" ? "A,0,x,\r\n" : monthLine("0", day1, day1 + 1000);
            writeBytes(dir.file(name), income + monthLine("1", 0, 300));
        };
        write(c.nov, "199611.txt", 0);
        write(c.dec, "199612.txt", 40);
        setWriteFaultHook([&](const std::string& path, const std::string& step) {
            return c.fault && step == "read" && path == dir.file(c.fault) ? EACCES : 0;
        });
        MonthLedger ledger = namedA();
        ledger.Items[1].Days[5].Income = 9; // stale: replaced by the read
        try {
            readMonthForExport(ledger, dir.path(), 1996, 12);
            EXPECT_EQ(c.error, nullptr) << c.label;
            const bool hasNov = c.nov != nullptr, hasDec = c.dec != nullptr;
            EXPECT_EQ(ledger.CarryOver[1], hasNov ? 700 : 0) << c.label;
            EXPECT_EQ(ledger.Items[1].Days[1].Income, hasDec ? 40 : 0) << c.label;
            EXPECT_EQ(ledger.Items[1].Days[5].Income, 0) << c.label;
        } catch (const AppError& e) {
            EXPECT_STREQ(e.what(), c.error ? c.error : "(no error)") << c.label;
        }
        setWriteFaultHook(nullptr);
        EXPECT_FALSE(fileExists(dir.file("19961.txt")));
    }
}

TEST(ExportMonth, DiaryIsReadWithoutEverCreatingAFile) {
    TempFolder dir;
    writeBytes(dir.file("199637.nik"), "rain\r\n");
    writeBytes(dir.file("1996115.nik"), "legacy\r\n"); // 5 November under the rule's name
    std::string bytes;
    EXPECT_TRUE(readDiaryFile(dir.path(), 1996, 3, 7, bytes));
    EXPECT_EQ(bytes, "rain\r\n");
    EXPECT_TRUE(readDiaryFile(dir.path(), 1996, 11, 5, bytes));
    EXPECT_EQ(bytes, "legacy\r\n");
    EXPECT_FALSE(readDiaryFile(dir.path(), 1996, 3, 8, bytes));
    EXPECT_FALSE(readDiaryFile(dir.file("missing"), 1996, 3, 8, bytes));
    setWriteFaultHook(
        [](const std::string&, const std::string& step) { return step == "read" ? EACCES : 0; });
    EXPECT_THROW(readDiaryFile(dir.path(), 1996, 3, 7, bytes), AppError);
    setWriteFaultHook(nullptr);
    int files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 2) << "a read created a file";
}
