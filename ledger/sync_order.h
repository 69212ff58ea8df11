#pragma once
// Steps of several PCs made in the same second. Journal times are kept to
// the second, so the time alone cannot order them; their names would, but a
// change made on top of another PC's change must come after it, or the merge
// would take the older value for the newer one.

#include "ledger/change_journal.h"

#include <cstddef>
#include <vector>

// True when a record of `later` starts from the value a record of `earlier`
// leaves on the same unit (a cell, a diary day, an entry line, a file), and
// `earlier` changed it.
bool followsStep(const std::vector<JournalRecord>& later,
                 const std::vector<JournalRecord>& earlier);

// Steps of different PCs made in one second: for each PC, in the order of
// their names, its steps of that second not taken yet, in its own order.
// Returns the index of the PC whose next step comes first: the first whose
// next step follows none of the other PCs' steps (the first of all when each
// follows another).
using StepRun = std::vector<const std::vector<JournalRecord>*>;
std::size_t firstOfSameSecond(const std::vector<StepRun>& runs);
