#pragma once
// zadud --post-due and --add-scheduled: the schedule run from a script, with
// the same posting and the same side file as the window.

#include "ledger/jp_holidays.h"

#include <QString>

class CommandArgs;

// Today's date; ZADUD_TODAY=YYYY-MM-DD in the environment stands in for
// the clock, so runs and screenshots can be repeated.
Date todayDate();

// Posts every automatic occurrence due up to `through` (today when empty)
// and prints one line per posting. 0, or 2 on an error.
int runPostDue(const QString& through);

// The options of --add-scheduled, read by name.
int runAddScheduled(const CommandArgs& args);
