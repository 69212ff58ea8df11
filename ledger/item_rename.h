#pragma once
// Renaming an item in a month file's bytes: its lines get the new name and
// every other byte stays. Where the file already holds lines of the new
// name (an item of that name used before), the two are summed into one
// line per flag, so that the previous-month load and the current-month load
// read the same amounts.

#include <map>
#include <string>

// The bytes with each line whose name is a key of `renames` (CP932, old to
// new) named anew; `merged`, when given, tells whether lines were summed.
// A sum outside 32 bits throws "整数のｵｰﾊﾞｰﾌﾛｰ".
std::string renameLines(const std::string& bytes, const std::map<std::string, std::string>& renames,
                        bool* merged = nullptr);

// Whether the bytes hold a line named `name`.
bool holdsName(const std::string& bytes, const std::string& name);
