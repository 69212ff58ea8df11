#include "ledger/amount_format.h"

std::string AmountFmt(int32_t value) {
    // Widened first: the magnitude of INT32_MIN does not fit in 32 bits.
    int64_t magnitude = value < 0 ? -int64_t{value} : int64_t{value};
    char reversed[16];
    int n = 0;
    int digits = 0;
    do {
        if (digits > 0 && digits % 3 == 0) reversed[n++] = ',';
        reversed[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
        ++digits;
    } while (magnitude != 0);
    if (value < 0) reversed[n++] = '-';

    std::string out(n < AmountWidth ? AmountWidth - n : 0, ' ');
    while (n > 0)
        out += reversed[--n];
    return out;
}

std::string ConmaCut(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text)
        if (c != ',' && c != ' ') result += c;
    if (result.empty()) return "0";
    return result;
}
