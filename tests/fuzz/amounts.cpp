// Amount texts: AmountFmt then ConmaCut gives the value's digits back, the
// text is at least 12 characters and right-aligned, and commas group by three.
#include "ledger/amount_format.h"
#include "ledger/errors.h"
#include "tests/fuzz/fuzz_check.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < sizeof(int32_t)) return 0;
    int32_t value;
    std::memcpy(&value, data, sizeof value);
    const std::string text = AmountFmt(value);
    FUZZ_CHECK(text.size() >= AmountWidth, "amount padded to 12 characters");
    FUZZ_CHECK(text.back() >= '0' && text.back() <= '9', "amount ends on a digit");
    FUZZ_CHECK(parseInt32(ConmaCut(text)) == value, "ConmaCut(AmountFmt(v)) reads back as v");
    const std::size_t first = text.find_first_not_of(" -");
    for (std::size_t i = first; i < text.size(); ++i)
        FUZZ_CHECK((text[i] == ',') == ((text.size() - i) % 4 == 0), "commas every three digits");
    return 0;
}
