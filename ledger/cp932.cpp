#include "ledger/cp932.h"

#include "ledger/errors.h"

#include <cerrno>
#include <iconv.h>
#include <mutex>

namespace {

// Message for text the other encoding cannot hold; the program's table has
// none, so it is worded like its neighbours.
constexpr const char* Unconvertible = "Shift-JIS で表せない文字が含まれています";

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) throw AppError("CP932 変換を初期化できません");
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Returns false when the input holds a sequence that cannot be converted;
    // with `lossy`, such bytes are replaced by `replacement` and skipped.
    bool run(std::string_view in, std::string& out, bool lossy, std::string_view replacement) {
        std::lock_guard<std::mutex> lock(mutex_);
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        out.clear();
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        char buffer[1024];
        while (srcLeft > 0) {
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const std::size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, dst);
            if (rc != static_cast<std::size_t>(-1)) continue;
            if (errno == E2BIG) continue;
            if (!lossy) return false;
            out.append(replacement);
            ++src;
            --srcLeft;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
        out.append(buffer, dst);
        return true;
    }

private:
    iconv_t cd_;
    std::mutex mutex_;
};

Converter& toUtf8() {
    static Converter c("UTF-8", "CP932");
    return c;
}

Converter& fromUtf8() {
    static Converter c("CP932", "UTF-8");
    return c;
}

} // namespace

std::string cp932ToUtf8(std::string_view cp932) {
    std::string out;
    if (!toUtf8().run(cp932, out, false, {})) throw AppError(Unconvertible);
    return out;
}

std::string utf8ToCp932(std::string_view utf8) {
    std::string out;
    if (!fromUtf8().run(utf8, out, false, {})) throw AppError(Unconvertible);
    return out;
}

std::string cp932ToUtf8Lossy(std::string_view cp932) {
    std::string out;
    toUtf8().run(cp932, out, true, "\xEF\xBF\xBD");
    return out;
}
