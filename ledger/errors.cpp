#include "ledger/errors.h"

#include "ledger/cp932.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

namespace {

bool parentDirectoryExists(const std::string& path) {
    const auto slash = path.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    if (dir.empty()) dir = "/";
    struct stat st {};
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

AppError fileError(int err, const std::string& path) {
    switch (err) {
    case ENOENT:
        return AppError(parentDirectoryExists(path) ? msg::FileNotFound : msg::InvalidFileName);
    case ENOTDIR:
    case ENAMETOOLONG:
    case EISDIR:
    case EINVAL:
        return AppError(msg::InvalidFileName);
    case EMFILE:
    case ENFILE:
        return AppError(msg::TooManyOpenFiles);
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        return AppError(msg::AccessDenied);
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return AppError(msg::DiskFull);
    default: {
        char text[64];
        std::snprintf(text, sizeof text, msg::IoError, err);
        return AppError(text);
    }
    }
}

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
