// Diary entries: an unedited read and save writes the bytes back exactly;
// text the writer accepts (the input decoded, and the input taken as typed
// text) reads back the same, with every line end as "\n".
#include "ledger/cp932.h"
#include "ledger/diary_file.h"
#include "ledger/errors.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

std::string newlines(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            out += text[i];
            continue;
        }
        out += '\n';
        if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
    return out;
}

void writesBack(const std::string& text) {
    std::string bytes;
    try {
        bytes = diaryMemoBytes(text);
    } catch (const AppError&) {
        return; // refused with a message: nothing is written
    }
    FUZZ_CHECK(diaryMemoText(bytes) == newlines(text), "accepted text reads back");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string bytes = fuzzBytes(data, size);
    const std::string shown = diaryMemoText(bytes);
    FUZZ_CHECK(diarySaveBytes(bytes, shown, shown) == bytes, "an unedited save keeps the bytes");
    writesBack(shown);
    writesBack(shown + "\n");
    writesBack(bytes);
    return 0;
}
