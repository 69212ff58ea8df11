#pragma once
// The amount text every grid shows, and the way back to plain digits. The
// grids draw cell texts from the left in a fixed-pitch font, so the padding
// to 12 characters is what lines the amounts up on their right edge.

#include <cstdint>
#include <string>

constexpr int AmountWidth = 12;

// Digits grouped by three with ",", "-" directly before the first digit,
// padded on the left with spaces to 12 characters. Ten-digit values (day
// totals and balances reach them) need 13 or 14 characters: the text is
// then widened, never cut, so that it still reads back to the same value.
std::string AmountFmt(int32_t value);

// The text without its "," and " " characters; "0" when nothing remains.
std::string ConmaCut(const std::string& text);
