#include "ledger/amount_format.h"

std::string groupedAmount(int64_t value) {
    // Unsigned: the magnitude of INT64_MIN does not fit in 64 signed bits.
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : uint64_t(value);
    char reversed[32];
    int n = 0;
    int digits = 0;
    do {
        if (digits > 0 && digits % 3 == 0) reversed[n++] = ',';
        reversed[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
        ++digits;
    } while (magnitude != 0);
    if (value < 0) reversed[n++] = '-';
    std::string out;
    while (n > 0)
        out += reversed[--n];
    return out;
}

std::string AmountFmt(int32_t value) {
    const std::string digits = groupedAmount(value);
    const std::size_t width = AmountWidth;
    return std::string(digits.size() < width ? width - digits.size() : 0, ' ') + digits;
}

std::string ConmaCut(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text)
        if (c != ',' && c != ' ') result += c;
    if (result.empty()) return "0";
    return result;
}
