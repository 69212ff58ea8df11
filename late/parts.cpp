#include "late/parts.h"

extern "C" const LateParts* zadudLateParts() {
    static const LateParts parts{late::zipPack,          late::zipUnpack,        late::newChartView,
                                 late::fillExpenseChart, late::fillBalanceChart, late::printPreview,
                                 late::fillDonutChart,   late::fillDayLineChart};
    return &parts;
}
