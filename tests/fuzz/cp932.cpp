// CP932 conversion: text that decodes encodes back to the same bytes, except
// the codes that share a character with another code, which encode to that
// character's one common code; and the results do not depend on how long the
// text is.
#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "tests/fuzz/fuzz_check.h"

#include <vector>

namespace {

// The input cut into CP932 characters: a lead byte takes the next byte too.
std::vector<std::string> characters(const std::string& bytes) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        const std::size_t n = lead && i + 1 < bytes.size() ? 2 : 1;
        out.push_back(bytes.substr(i, n));
        i += n;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string bytes = fuzzBytes(data, size);
    std::string utf8;
    try {
        utf8 = cp932ToUtf8(bytes);
    } catch (const AppError&) {
        // Not CP932: the lossy form still gives text, one piece per character.
        FUZZ_CHECK(!cp932ToUtf8Lossy(bytes).empty() || bytes.empty(), "lossy decoding gives text");
        return 0;
    }
    FUZZ_CHECK(cp932ToUtf8Lossy(bytes) == utf8, "lossy decoding agrees on valid text");
    const std::string back = utf8ToCp932(utf8);
    std::string perCharacter;
    for (const std::string& c : characters(bytes)) {
        const std::string one = utf8ToCp932(cp932ToUtf8(c));
        FUZZ_CHECK(cp932ToUtf8(one) == cp932ToUtf8(c),
                   "a character's common code is the same character");
        perCharacter += one;
    }
    FUZZ_CHECK(back == perCharacter, "encoding works character by character");
    FUZZ_CHECK(cp932ToUtf8(bytes + bytes) == utf8 + utf8, "decoding does not depend on length");
    FUZZ_CHECK(utf8ToCp932(utf8 + utf8) == back + back, "encoding does not depend on length");
    return 0;
}
