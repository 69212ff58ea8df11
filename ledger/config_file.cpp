#include "ledger/config_file.h"

#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/text_file.h"

#include <exception>

namespace {

constexpr const char* LedgerKey = "ZADUD=";
constexpr const char* DiaryKey = "MEMO=";
constexpr const char* ItemPrefix = "kamo";

// Applies one location line: the value is kept only when the check passes.
// A value that is not valid CP932 names no directory, so it fails too.
void applyLocation(const std::string& value, const std::string& startDir, std::string& dir,
                   const LocationCheck& check) {
    bool ok = false;
    std::string path;
    try {
        path = cp932ToUtf8(value);
        ok = check && check(path);
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
        ledger.Items[parseInt32(line.substr(4, eq - 4))].Name = value;
    }
}

AppError commaInName(int item, const std::string& name) {
    return AppError("項目" + std::to_string(item) + "「" + cp932ToUtf8Lossy(name) +
                    "」の名前に \",\" は使えません");
}

} // namespace

void readConfig(const std::string& startDir, MonthLedger& ledger, std::string& ledgerDir,
                std::string& diaryDir, const LocationCheck& checkLedger,
                const LocationCheck& checkDiary) {
    ledger.clearItems();
    ledgerDir = startDir;
    diaryDir = startDir;
    const std::string bytes = readFileBytes(joinPath(startDir, ConfigFileName));
    for (const std::string& line : splitLines(bytes))
        applyLine(line, startDir, ledger, ledgerDir, diaryDir, checkLedger, checkDiary);
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

std::string formatConfig(const ConfigValues& values) {
    std::string out;
    out += LedgerKey + utf8ToCp932(values.ledgerDir) + "\r\n";
    out += DiaryKey + utf8ToCp932(values.diaryDir) + "\r\n";
    for (int n = 1; n <= ShownItems; ++n) {
        const std::string& name = values.names[n - 1];
        if (name.empty()) continue;
        // CP932 trail bytes never take the value of ",", so a byte search is exact.
        if (name.find(',') != std::string::npos) throw commaInName(n, name);
        out += ItemPrefix + std::to_string(n) + "=" + name + "\r\n";
    }
    return out;
}

void writeConfig(const std::string& startDir, const ConfigValues& values) {
    writeFileSafely(joinPath(startDir, ConfigFileName), formatConfig(values));
}
