#include "late/late_parts.h"

#include "ledger/errors.h"

#include <dlfcn.h>
#include <limits.h>
#include <mutex>
#include <unistd.h>

// Defined where the parts are linked in (the tests); the program itself
// leaves it undefined and loads the library.
extern "C" const LateParts* zadudLateParts() __attribute__((weak));

namespace {

// The folder of the running program, where the library is installed.
std::string programFolder() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    const std::string exe(path, static_cast<std::size_t>(n));
    const auto slash = exe.rfind('/');
    return slash == std::string::npos ? "." : exe.substr(0, slash);
}

const LateParts* load(std::string& error) {
    if (zadudLateParts) return zadudLateParts();
    const std::string file = programFolder() + "/" + LatePartsLibrary;
    void* library = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = ::dlerror();
        error = why ? why : file;
        return nullptr;
    }
    using Entry = const LateParts* (*)();
    const auto entry = reinterpret_cast<Entry>(::dlsym(library, "zadudLateParts"));
    if (!entry) {
        error = file + ": zadudLateParts";
        return nullptr;
    }
    return entry(); // the library stays loaded for the rest of the run
}

} // namespace

const LateParts& lateParts() {
    static std::once_flag once;
    static const LateParts* parts = nullptr;
    static std::string error;
    std::call_once(once, [] { parts = load(error); });
    if (!parts) throw AppError("部品を読み込めません: " + error);
    return *parts;
}

ZipCodec lateZip() {
    ZipCodec zip;
    zip.pack = [](const std::vector<ZipMember>& members, std::string& bytes) {
        return lateParts().zipPack(members, bytes);
    };
    zip.unpack = [](const std::string& bytes, const ZipMemberCheck& check,
                    std::vector<ZipMember>& members) {
        return lateParts().zipUnpack(bytes, check, members);
    };
    return zip;
}
