#include "ledger/errors.h"

#include "ledger/cp932.h"

#include <cstdio>

AppError notIntegerError(const std::string& cp932Text) {
    std::string text = msg::NotInteger;
    text.replace(text.find("%s"), 2, cp932ToUtf8Lossy(cp932Text));
    return AppError(text);
}

int32_t parseInt32(std::string_view text) {
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) i = 1;
    if (i == text.size()) throw notIntegerError(std::string(text));
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') throw notIntegerError(std::string(text));
        value = value * 10 + (c - '0');
        if (value > int64_t{INT32_MAX} + 1) throw notIntegerError(std::string(text));
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) throw notIntegerError(std::string(text));
    return static_cast<int32_t>(value);
}

int32_t checkedAdd(int32_t a, int32_t b) {
    int32_t r;
    if (__builtin_add_overflow(a, b, &r)) throw AppError(msg::IntOverflow);
    return r;
}

int32_t checkedSub(int32_t a, int32_t b) {
    int32_t r;
    if (__builtin_sub_overflow(a, b, &r)) throw AppError(msg::IntOverflow);
    return r;
}

void throwRangeError() {
    throw AppError(msg::RangeCheck);
}
