#include "ledger/errors.h"

// The mapping from errno to the program's file errors; the message texts
// are the rules' own (ledger/errors.h).

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
