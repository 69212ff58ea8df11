#pragma once
// The value axis of the year's charts: round steps, each labelled once with
// its digits grouped.

#include <QString>
#include <vector>

namespace late {

struct Tick {
    double value;
    QString label; // "300,000", "-50,000"
};

// About five steps of 1, 2 or 5 times a power of ten covering lo .. hi (at
// least one step when lo == hi), from the step at or below lo to the one at
// or above hi.
std::vector<Tick> valueTicks(double lo, double hi);

// An amount rounded to the yen with its digits grouped the way the program's
// own amounts are, whatever the locale: "300,000".
QString grouped(double v);

} // namespace late
