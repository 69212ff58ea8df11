#include "ledger/config_file.h"

#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/text_file.h"

#include <algorithm>
#include <exception>

namespace {

constexpr const char* LedgerKey = "ZADUD=";
constexpr const char* DiaryKey = "MEMO=";
constexpr const char* ItemPrefix = "kamo";

constexpr const char* LedgerWhere = "家計簿の格納場所";
constexpr const char* DiaryWhere = "日記帳の格納場所";

// CP932 has no control character among its trail bytes, so a byte search is
// exact.
bool isControlByte(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

// Applies one location line: the value is kept only when the check passes.
// A value that is not valid CP932 or holds a control character names no
// directory the dialog could write back, so it fails too.
void applyLocation(const std::string& value, const std::string& startDir, std::string& dir,
                   const LocationCheck& check) {
    bool ok = false;
    std::string path;
    try {
        path = cp932ToUtf8(value);
        ok = std::none_of(value.begin(), value.end(), isControlByte) && check && check(path);
    } catch (const std::exception&) {
        ok = false;
    }
    dir = ok ? path : startDir;
}

void applyLine(const std::string& line, const std::string& startDir, MonthLedger& ledger,
               std::string& ledgerDir, std::string& diaryDir, const LocationCheck& checkLedger,
               const LocationCheck& checkDiary) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) return;
    const std::string key = line.substr(0, eq + 1);
    const std::string value = line.substr(eq + 1);
    if (key == LedgerKey) {
        applyLocation(value, startDir, ledgerDir, checkLedger);
    } else if (key == DiaryKey) {
        applyLocation(value, startDir, diaryDir, checkDiary);
    } else if (line.compare(0, 4, ItemPrefix) == 0) {
        // "kamo=" leaves an empty number text, which is not an integer; a
        // number outside the twenty slots fails the range check.
        // A control character (a pasted TAB or LF) shows as nothing and
        // could never be written back; the name keeps the rest.
        std::string name = value;
        name.erase(std::remove_if(name.begin(), name.end(), isControlByte), name.end());
        ledger.Items[parseInt32(line.substr(4, eq - 4))].Name = name;
    }
}

AppError commaInName(int item, const std::string& name) {
    return AppError("項目" + std::to_string(item) + "「" + cp932ToUtf8Lossy(name) +
                    "」の名前に \",\" は使えません");
}

std::string locationBytes(const std::string& utf8Path, const char* where) {
    refuseControls(utf8Path, where);
    // A path whose bytes read back as another path would silently be another
    // folder at the next start.
    return utf8ToCp932Exact(utf8Path, where);
}

std::string itemWhere(int item) {
    return "項目" + std::to_string(item) + "の名前";
}

} // namespace

void readConfig(FileStore& files, const std::string& startDir, MonthLedger& ledger,
                std::string& ledgerDir, std::string& diaryDir, const LocationCheck& checkLedger,
                const LocationCheck& checkDiary) {
    ledger.clearItems();
    ledgerDir = startDir;
    diaryDir = startDir;
    const std::string bytes = files.read(joinPath(startDir, ConfigFileName));
    parseConfig(bytes, startDir, ledger, ledgerDir, diaryDir, checkLedger, checkDiary);
}

void parseConfig(const std::string& bytes, const std::string& startDir, MonthLedger& ledger,
                 std::string& ledgerDir, std::string& diaryDir, const LocationCheck& checkLedger,
                 const LocationCheck& checkDiary) {
    for (const std::string& line : splitLines(bytes))
        applyLine(line, startDir, ledger, ledgerDir, diaryDir, checkLedger, checkDiary);
    // A name with a comma would be split by every month line written for
    // it: the item is left out and the configuration refused, so nothing is
    // written under it until the name is changed.
    for (int n = 1; n <= ItemSlots; ++n) {
        std::string& name = ledger.Items[n].Name;
        if (name.find(',') == std::string::npos) continue;
        const AppError error = commaInName(n, name);
        name.clear();
        throw error;
    }
}

void refuseDuplicateNames(const std::array<std::string, ShownItems>& names) {
    for (int n = 2; n <= ShownItems; ++n) {
        const std::string& name = names[n - 1];
        for (int first = 1; first < n && !name.empty(); ++first) {
            if (names[first - 1] == name)
                throw AppError("項目" + std::to_string(n) + "「" + cp932ToUtf8Lossy(name) +
                               "」は項目" + std::to_string(first) + "と同じ名前です");
        }
    }
}

std::string nameBytes(const std::string& utf8Text, const std::string& stored, int item) {
    if (!stored.empty() && utf8Text == cp932ToUtf8Lossy(stored)) return stored;
    return utf8ToCp932(utf8Text, itemWhere(item));
}

std::string formatConfig(const ConfigValues& values) {
    std::string out;
    out += LedgerKey + locationBytes(values.ledgerDir, LedgerWhere) + "\r\n";
    out += DiaryKey + locationBytes(values.diaryDir, DiaryWhere) + "\r\n";
    for (int n = 1; n <= ShownItems; ++n) {
        const std::string& name = values.names[n - 1];
        if (name.empty()) continue;
        // CP932 trail bytes never take the value of ",", so a byte search is exact.
        if (name.find(',') != std::string::npos) throw commaInName(n, name);
        const auto control = std::find_if(name.begin(), name.end(), isControlByte);
        if (control != name.end())
            throw AppError(itemWhere(n) + "に制御文字 " +
                           describeChar(static_cast<unsigned char>(*control)) + " は使えません");
        out += ItemPrefix + std::to_string(n) + "=" + name + "\r\n";
    }
    return out;
}

void writeConfig(FileStore& files, const std::string& startDir, const ConfigValues& values) {
    files.writeSafely(joinPath(startDir, ConfigFileName), formatConfig(values));
}
