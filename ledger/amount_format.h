#pragma once
// The amount text every grid shows, and the way back to plain digits. The
// grids draw cell texts from the left in a fixed-pitch font, so the padding
// to 12 characters is what lines the amounts up on their right edge.

#include <cstdint>
#include <string>

constexpr int AmountWidth = 12;

// The one grouping of amounts: digits by three with ",", "-" directly before
// the first digit, no padding ("-1,234"). Every window, printout and message
// shows amounts so; 64 bits, for sums and carried budgets past 32 bits.
std::string groupedAmount(int64_t value);

// groupedAmount padded on the left with spaces to 12 characters. Ten-digit values (day
// totals and balances reach them) need 13 or 14 characters: the text is
// then widened, never cut, so that it still reads back to the same value.
std::string AmountFmt(int32_t value);

// The text without its "," and " " characters; "0" when nothing remains.
std::string ConmaCut(const std::string& text);
