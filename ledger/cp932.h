#pragma once
// The program's one text converter: files hold code page 932 (the Windows
// flavour of Shift_JIS, where ～ ∥ － ￢ ① ㈱ differ from JIS), widgets UTF-8.
//
// Two kinds of character do not survive a trip through CP932 unchanged: the
// 398 codes of the NEC and IBM extensions that decode to a character which
// encodes to another code (髙 EE E0 and FB FC), and characters the encoder
// maps onto a neighbour (〜 U+301C becomes the code of ～ U+FF5E). Bytes are
// therefore kept where they were not edited, and texts that must read back
// as typed go through utf8ToCp932Exact or utf8ToCp932Preserving.

#include <optional>
#include <string>
#include <string_view>

// Strict conversions: a byte sequence or character the other side cannot
// represent throws AppError; the encoder's message names the character,
// after `where` (for example "項目3の名前") when one is given.
std::string cp932ToUtf8(std::string_view cp932);
std::string utf8ToCp932(std::string_view utf8, const std::string& where = {});

// For messages only: undecodable bytes become U+FFFD instead of an error.
std::string cp932ToUtf8Lossy(std::string_view cp932);

// Bytes 0x80..0xFF that do not decode become the private-use characters
// U+F780..U+F7FF, which no CP932 code decodes to, so a text shown in a widget
// carries them unchanged; utf8ToCp932Preserving turns them back into bytes.
std::string cp932ToUtf8Preserving(std::string_view cp932);

// Encodes so that cp932ToUtf8 of the result gives `utf8` back: throws
// AppError naming the first character that CP932 cannot hold or that would
// read back as another one (〜 U+301C comes back as ～, ¥ U+00A5 as \).
std::string utf8ToCp932Exact(std::string_view utf8, const std::string& where = {});

// The same for text read by cp932ToUtf8Preserving: its escapes turn back
// into their bytes, and the result read that way gives `utf8` back.
std::string utf8ToCp932Preserving(std::string_view utf8, const std::string& where = {});

// The character that `c` reads back as once stored: 〜 U+301C gives ～
// U+FF5E, − U+2212 gives － U+FF0D; a character that CP932 keeps as it is,
// or cannot hold at all, gives itself.
char32_t cp932StoredAs(char32_t c);

// The first control character (Unicode Cc: U+0000..U+001F, U+007F..U+009F)
// in a UTF-8 text other than those in `allowed`.
std::optional<char32_t> firstControl(std::string_view utf8, std::u32string_view allowed = {});

// Throws "制御文字 … は使えません" (after `where` + "に") for the first control
// character not in `allowed`.
void refuseControls(std::string_view utf8, const std::string& where,
                    std::u32string_view allowed = {});

// A character as messages name it: "「〜」(U+301C)", or "Ctrl-Z (U+001A)" for
// a control character, which has no glyph.
std::string describeChar(char32_t c);

// UTF-8 one character at a time. nextCodePoint returns the code point at `i`
// and moves past it; a stray byte is taken as a character of its own value.
char32_t nextCodePoint(std::string_view utf8, std::size_t& i);
void appendUtf8(std::string& out, char32_t c);
