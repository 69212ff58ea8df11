#pragma once
// The program's one text converter: files hold code page 932 (the Windows
// flavour of Shift_JIS, where ～ ∥ － ￢ ① ㈱ differ from JIS), widgets UTF-8.

#include <string>
#include <string_view>

// Strict conversions: a byte sequence or character the other side cannot
// represent throws AppError naming the problem.
std::string cp932ToUtf8(std::string_view cp932);
std::string utf8ToCp932(std::string_view utf8);

// For messages only: undecodable bytes become U+FFFD instead of an error.
std::string cp932ToUtf8Lossy(std::string_view cp932);
