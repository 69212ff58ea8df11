// The configuration file: whatever the reader accepts leaves no control
// character in a name or a folder; whatever the writer accepts reads back to
// the same folders and names. The input is read as a file, then cut at NUL
// bytes into a ledger folder, a diary folder and twelve names for the writer.
#include "ledger/config_file.h"
#include "ledger/cp932.h"
#include "tests/fuzz/fuzz_check.h"

#include <algorithm>

namespace {

const std::string Start = "/start";

bool noControl(const std::string& bytes) {
    return std::none_of(bytes.begin(), bytes.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

struct Read {
    MonthLedger ledger;
    std::string ledgerDir = Start, diaryDir = Start;
};

void parse(const std::string& bytes, Read& r) {
    const LocationCheck any = [](const std::string&) { return true; };
    parseConfig(bytes, Start, r.ledger, r.ledgerDir, r.diaryDir, any, any);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string bytes = fuzzBytes(data, size);
    Read r;
    try {
        parse(bytes, r);
    } catch (const AppError&) {
        // The lines before the error stay in effect: they are checked too.
    }
    for (const LedgerItem& item : r.ledger.Items)
        FUZZ_CHECK(noControl(item.Name), "no control character in a name read");
    FUZZ_CHECK(!firstControl(r.ledgerDir) && !firstControl(r.diaryDir),
               "no control character in a folder read");

    std::vector<std::string> fields = fuzzPieces(bytes);
    fields.resize(2 + ShownItems);
    ConfigValues values;
    values.ledgerDir = cp932ToUtf8Lossy(fields[0]);
    values.diaryDir = cp932ToUtf8Lossy(fields[1]);
    for (int n = 0; n < ShownItems; ++n)
        values.names[n] = fields[2 + n];
    std::string written;
    try {
        written = formatConfig(values);
    } catch (const AppError&) {
        return 0;
    }
    Read back;
    parse(written, back);
    FUZZ_CHECK(back.ledgerDir == values.ledgerDir, "the ledger folder reads back");
    FUZZ_CHECK(back.diaryDir == values.diaryDir, "the diary folder reads back");
    for (int n = 1; n <= ItemSlots; ++n)
        FUZZ_CHECK(back.ledger.Items[n].Name == (n <= ShownItems ? values.names[n - 1] : ""),
                   "names read back byte for byte");
    return 0;
}
