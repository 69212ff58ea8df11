#include "ledger/sync_order.h"

namespace {

bool sameUnit(const JournalRecord& a, const JournalRecord& b) {
    return a.kind == b.kind && a.month.year == b.month.year && a.month.month == b.month.month &&
           a.day == b.day && a.item == b.item && a.field == b.field;
}

} // namespace

bool followsStep(const std::vector<JournalRecord>& later,
                 const std::vector<JournalRecord>& earlier) {
    for (const JournalRecord& l : later)
        for (const JournalRecord& e : earlier) {
            if (!sameUnit(l, e)) continue;
            if (l.kind == JournalRecord::Kind::Amount
                    ? l.oldValue == e.newValue && l.oldValue != e.oldValue
                    : l.oldText == e.newText && l.oldText != e.oldText)
                return true;
        }
    return false;
}

std::size_t firstOfSameSecond(const std::vector<StepRun>& runs) {
    auto followsAny = [&runs](std::size_t i) {
        for (std::size_t j = 0; j < runs.size(); ++j)
            if (j != i)
                for (const std::vector<JournalRecord>* step : runs[j])
                    if (followsStep(*runs[i].front(), *step)) return true;
        return false;
    };
    for (std::size_t i = 0; i < runs.size(); ++i)
        if (!followsAny(i)) return i;
    return 0;
}
