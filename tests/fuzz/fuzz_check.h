#pragma once
// Shared by the fuzz targets. A broken promise aborts with its reason, which
// libFuzzer reports as a finding and the replay under `make test` as a failed
// test. Each target defines LLVMFuzzerTestOneInput; the same source builds
// for libFuzzer (make fuzz) and for the replay of the checked-in inputs.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#define FUZZ_CHECK(cond, what)                                                                     \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "broken promise: %s (%s:%d)\n", what, __FILE__, __LINE__);        \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

inline std::string fuzzBytes(const uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// The input cut at NUL bytes: targets that need several texts take them so.
inline std::vector<std::string> fuzzPieces(const std::string& bytes) {
    std::vector<std::string> pieces{""};
    for (char c : bytes) {
        if (c == '\0')
            pieces.emplace_back();
        else
            pieces.back() += c;
    }
    return pieces;
}
