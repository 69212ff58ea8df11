#include "late/chart_scale.h"

#include <QLocale>
#include <cmath>

namespace late {

QString grouped(double v) {
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::DefaultNumberOptions);
    return c.toString(static_cast<qlonglong>(std::llround(v)));
}

std::vector<Tick> valueTicks(double lo, double hi) {
    if (hi < lo) std::swap(lo, hi);
    const double span = hi - lo;
    double step;
    if (span > 0) {
        const double raw = span / 5;
        const double power = std::pow(10.0, std::floor(std::log10(raw)));
        const double f = raw / power;
        step = (f <= 1 ? 1 : f <= 2 ? 2 : f <= 5 ? 5 : 10) * power;
    } else {
        // A flat line still gets an axis: a step sized to its value.
        step = lo == 0 ? 1000 : std::pow(10.0, std::floor(std::log10(std::fabs(lo))));
    }
    step = std::max(step, 1.0); // amounts are whole yen
    double first = std::floor(lo / step) * step;
    double last = std::ceil(hi / step) * step;
    if (first == last) last += step;
    std::vector<Tick> ticks;
    for (double v = first; v <= last + step / 2; v += step)
        ticks.push_back({v, grouped(v)});
    return ticks;
}

} // namespace late
