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

std::size_t firstOfSameSecond(const std::vector<const std::vector<JournalRecord>*>& steps) {
    for (std::size_t i = 0; i < steps.size(); ++i) {
        bool free = true;
        for (std::size_t j = 0; j < steps.size() && free; ++j)
            if (j != i && followsStep(*steps[i], *steps[j])) free = false;
        if (free) return i;
    }
    return 0;
}
