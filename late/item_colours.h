#pragma once
// One colour per item slot, the same in every chart and report: twelve hues
// far enough apart to tell side by side, readable as fills on a light or a
// dark chart. Header-only, so a window can use it without loading the late
// parts.

#include <QColor>

namespace ItemColours {

inline constexpr int Count = 12;

// The colour of item `slot` (1 .. 12); slots beyond wrap round.
inline QColor of(int slot) {
    static const QRgb table[Count] = {
        0x1f77b4, // blue
        0xff7f0e, // orange
        0x2ca02c, // green
        0xd62728, // red
        0x9467bd, // purple
        0x8c564b, // brown
        0xe377c2, // pink
        0x7f7f7f, // grey
        0xbcbd22, // olive
        0x17becf, // cyan
        0x393b79, // navy
        0xe7ba52, // gold
    };
    const int i = ((slot - 1) % Count + Count) % Count;
    return QColor::fromRgb(table[i]);
}

} // namespace ItemColours
