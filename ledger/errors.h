#pragma once
// The one error type of the program and its message table. Messages are
// UTF-8; the error box shows them as they are.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace msg {
inline constexpr const char* FileNotFound = "ﾌｧｲﾙが見つかりません";
inline constexpr const char* InvalidFileName = "不正なﾌｧｲﾙ名です";
inline constexpr const char* TooManyOpenFiles = "ｵｰﾌﾟﾝしたﾌｧｲﾙが多すぎます";
inline constexpr const char* AccessDenied = "ﾌｧｲﾙへのｱｸｾｽが拒否されました";
inline constexpr const char* ReadBeyondEnd = "ﾌｧｲﾙの末尾以降を読み込みました";
inline constexpr const char* DiskFull = "ﾃﾞｨｽｸがいっぱいです";
inline constexpr const char* InvalidNumericInput = "入力値が数値ではありません";
inline constexpr const char* IoError = "I/O ｴﾗｰ (%d)";
inline constexpr const char* NotInteger = "'%s' は整数ではありません";
inline constexpr const char* InvalidDate = "日付に変換できない値が渡されました";
inline constexpr const char* IntOverflow = "整数のｵｰﾊﾞｰﾌﾛｰ";
inline constexpr const char* RangeCheck = "範囲ﾁｪｯｸｴﾗｰ";
// A change to a month that may not be saved; %s is the file's path.
inline constexpr const char* HeldUnread =
    "ﾌｧｲﾙ %s を読み込めなかったため、この月は読み取り専用です";
inline constexpr const char* HeldPrevious =
    "前月のﾌｧｲﾙ %s を読み込めなかったため、この月は読み取り専用です";
inline constexpr const char* HeldTotals =
    "ﾌｧｲﾙ %s の合計が整数の範囲を超えるため、この月は読み取り専用です";
} // namespace msg

// Thrown when the user cancels a question; no error box follows.
struct Cancelled {};

class AppError : public std::runtime_error {
public:
    explicit AppError(const std::string& message) : std::runtime_error(message) {}
};

// Maps an errno value from an operation on `path` to the program's file error.
// ENOENT names the directory when the path's directory is missing.
AppError fileError(int err, const std::string& path);

// "'%s' は整数ではありません" for a field; `cp932Text` is the field's bytes.
AppError notIntegerError(const std::string& cp932Text);

// Parses a decimal integer as the files store it: an optional "-" and one or
// more digits, leading zeros allowed, within the signed 32-bit range.
// Anything else throws notIntegerError.
int32_t parseInt32(std::string_view cp932Text);

// Checked signed 32-bit arithmetic: a result outside the range throws
// "整数のｵｰﾊﾞｰﾌﾛｰ".
int32_t checkedAdd(int32_t a, int32_t b);
int32_t checkedSub(int32_t a, int32_t b);

[[noreturn]] void throwRangeError();

// An array with a declared index range [Lo, Hi]; indexing outside it throws
// "範囲ﾁｪｯｸｴﾗｰ".
template <typename T, int Lo, int Hi> class RangeArray {
    static_assert(Lo <= Hi, "empty range");

public:
    static constexpr int low = Lo;
    static constexpr int high = Hi;

    T& operator[](int i) {
        if (i < Lo || i > Hi) throwRangeError();
        return items_[i - Lo];
    }
    const T& operator[](int i) const {
        if (i < Lo || i > Hi) throwRangeError();
        return items_[i - Lo];
    }
    T* begin() { return items_; }
    T* end() { return items_ + (Hi - Lo + 1); }
    const T* begin() const { return items_; }
    const T* end() const { return items_ + (Hi - Lo + 1); }

private:
    T items_[Hi - Lo + 1]{};
};
