#pragma once
// ZADUD.CFG: the two storage locations and the item names, one CR LF line
// each ("ZADUD=", "MEMO=", "kamo<n>="), in code page 932. Locations are held
// by the program as UTF-8 paths; item names stay CP932 bytes as the ledger
// keeps them.

#include "ledger/file_store.h"
#include "ledger/month_ledger.h"

#include <array>
#include <functional>
#include <string>

inline constexpr const char* ConfigFileName = "ZADUD.CFG";

// Tells whether a location (UTF-8 path) can be entered. It runs on a
// directory list of the settings dialog, so a successful check also leaves
// that list showing the location. A check that throws counts as failed.
using LocationCheck = std::function<bool(const std::string& utf8Path)>;

// Clears the ledger's names and day cells, sets both locations to
// `startDir`, then applies the lines of `startDir`/ZADUD.CFG in file order.
// A location that fails its check (or holds a control character) falls back
// to `startDir` silently; control characters are dropped from names. Errors
// (missing file, a bad or out-of-range item number) are thrown after the
// lines before them have been applied to the arguments, and those stay.
void readConfig(FileStore& files, const std::string& startDir, MonthLedger& ledger,
                std::string& ledgerDir, std::string& diaryDir, const LocationCheck& checkLedger,
                const LocationCheck& checkDiary);

// Applies the lines of a configuration file's bytes, as readConfig does
// after it has cleared the ledger and set both locations to `startDir`.
void parseConfig(const std::string& bytes, const std::string& startDir, MonthLedger& ledger,
                 std::string& ledgerDir, std::string& diaryDir, const LocationCheck& checkLedger,
                 const LocationCheck& checkDiary);

// What the settings dialog writes.
struct ConfigValues {
    std::string ledgerDir; // UTF-8
    std::string diaryDir;  // UTF-8
    // Items 1 to 12, CP932 bytes; an empty name gets no line.
    std::array<std::string, ShownItems> names;
};

// Throws when two items share a name: the month file gives every line of a
// name to the first item of that name, so the second would lose whatever is
// typed into it. Empty names are no items.
void refuseDuplicateNames(const std::array<std::string, ShownItems>& names);

// The bytes to store for item `item` whose box shows `utf8Text` after being
// filled from the name's `stored` bytes: those bytes while the text is what
// they show (the month files match names by bytes, and 398 CP932 codes would
// change on re-encoding: 髙 EE E0 becomes FB FC), else the text encoded; a
// character CP932 cannot hold throws, naming it. formatConfig refuses the
// control characters.
std::string nameBytes(const std::string& utf8Text, const std::string& stored, int item);

// The file's bytes; readConfig gives back exactly these locations and names.
// Throws, naming the character, for a location holding a control character
// or one whose CP932 form reads back as another (〜 U+301C), and for an item
// name holding a control character or ",", which the month file could never
// read back.
std::string formatConfig(const ConfigValues& values);

// Replaces `startDir`/ZADUD.CFG with formatConfig(values). On any failure the
// old file stays as it was and the error is thrown.
void writeConfig(FileStore& files, const std::string& startDir, const ConfigValues& values);
