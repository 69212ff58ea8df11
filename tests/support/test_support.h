#pragma once
// Helpers shared by the widget test programs.

#include "tests/support/file_support.h"

// Temporary folders of the widget tests: the same as everywhere.
using TempDir = TempFolder;
