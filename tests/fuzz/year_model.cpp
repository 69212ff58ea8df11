// The year model over month files made from the input (cut at NUL bytes
// into January, February, ...; an empty piece is a month without a file):
// it writes nothing, names every month it leaves out, and its year totals
// are the sums of the months it read.
#include "ledger/year_model.h"
#include "ledger/text_file.h"
#include "storage/disk_store.h"
#include "tests/fuzz/fuzz_check.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {
// The disk the tests below work on; a test that plants a fault clears it.
DiskStore disk;
} // namespace

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const fs::path dir =
        fs::temp_directory_path() / ("zadud-fuzz-year-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::vector<std::string> pieces = fuzzPieces(fuzzBytes(data, size));
    for (std::size_t m = 0; m < pieces.size() && m < 13; ++m) {
        if (pieces[m].empty()) continue;
        // The first piece is December of the year before: the balance brought in.
        const std::string name = m == 0 ? monthFileName(1995, 12) : monthFileName(1996, int(m));
        std::ofstream(dir / name, std::ios::binary) << pieces[m];
    }
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& e : fs::directory_iterator(dir))
        files.emplace_back(e.path().filename(), disk.read(e.path()));

    MonthLedger names;
    names.Items[1].Name = "A";
    names.Items[2].Name = "\x90\x48\x94\xEF"; // 食費
    try {
        const YearModel y = buildYearModel(disk, names, dir, 1996);
        int64_t income = 0, expense = 0;
        for (int m = 1; m <= 12; ++m) {
            const YearMonth& ym = y.months[m];
            if (ym.state == MonthFileState::Unreadable)
                FUZZ_CHECK(!ym.error.empty(), "a month left out says why");
            if (ym.state != MonthFileState::Read) continue;
            income += ym.totalIncome;
            expense += ym.totalExpense;
        }
        FUZZ_CHECK(income == y.totalIncome && expense == y.totalExpense,
                   "the year is the sum of the months read");
    } catch (const AppError&) {
        // A year total outside 32 bits is refused as a whole.
    }
    std::size_t n = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        ++n;
        const auto it = std::find_if(files.begin(), files.end(),
                                     [&](const auto& f) { return f.first == e.path().filename(); });
        FUZZ_CHECK(it != files.end() && it->second == disk.read(e.path()), "nothing is written");
    }
    FUZZ_CHECK(n == files.size(), "no file is made");
    return 0;
}
