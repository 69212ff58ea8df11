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

// Of steps of different PCs made in one second, given in the order of their
// PCs' names: the index of the one to take first, the first that follows none
// of the others (the first of all when each follows another).
std::size_t firstOfSameSecond(const std::vector<const std::vector<JournalRecord>*>& steps);
