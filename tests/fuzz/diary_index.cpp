// The diary index over a folder of files named by the input (cut at NUL
// bytes): each day is listed once, newest first, with the file the diary
// window reads for it (the zero-padded name before the rule's); and a match
// found by the search holds every word, its span being one of them.
#include "ledger/diary_index.h"
#include "ledger/cp932.h"
#include "ledger/diary_file.h"
#include "tests/fuzz/fuzz_check.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool validDate(int y, int m, int d) {
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m >= 1 && m <= 12 && d >= 1 && d <= (m == 2 && !leap ? 28 : days[m - 1]);
}

// The days a name can stand for, by the two naming rules.
std::vector<DiaryDate> daysNamed(const std::string& name) {
    std::vector<DiaryDate> out;
    if (name.size() < 10 || name.compare(name.size() - 4, 4, ".nik") != 0) return out;
    const std::string stem = name.substr(0, name.size() - 4);
    if (stem.size() > 8 || stem.find_first_not_of("0123456789") != std::string::npos ||
        stem[0] == '0')
        return out;
    const int y = std::stoi(stem.substr(0, 4));
    const std::string rest = stem.substr(4);
    for (std::size_t ml = 1; ml <= 2 && ml < rest.size(); ++ml) {
        const int m = std::stoi(rest.substr(0, ml)), d = std::stoi(rest.substr(ml));
        if (rest.size() - ml > 2 || !validDate(y, m, d)) continue;
        if (diaryFileName(y, m, d) == name || diaryRuleName(y, m, d) == name)
            out.push_back({y, m, d});
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const fs::path dir =
        fs::temp_directory_path() / ("zadud-fuzz-diary-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::vector<std::string> pieces = fuzzPieces(fuzzBytes(data, size));
    std::set<std::string> names;
    for (const std::string& p : pieces) {
        if (p.empty() || p.size() > 40 || p.find('/') != std::string::npos || p == "." || p == "..")
            continue;
        if (names.insert(p).second) std::ofstream(dir / p, std::ios::binary) << p;
    }

    std::map<DiaryDate, std::string, bool (*)(const DiaryDate&, const DiaryDate&)> expected(
        [](const DiaryDate& a, const DiaryDate& b) { return b < a; });
    for (const std::string& name : names)
        for (const DiaryDate& d : daysNamed(name)) {
            const std::string padded = diaryFileName(d.year, d.month, d.day);
            expected[d] = names.count(padded) ? padded : diaryRuleName(d.year, d.month, d.day);
        }
    const std::vector<DiaryEntry> listed = listDiaryFolder(dir);
    FUZZ_CHECK(listed.size() == expected.size(), "every day once, and no other file");
    auto it = expected.begin();
    for (const DiaryEntry& e : listed) {
        FUZZ_CHECK(e.date == it->first, "newest day first");
        FUZZ_CHECK(e.fileName == it->second, "the file the diary window reads");
        ++it;
    }

    // Search: the first piece (as CP932, as entries are read) is the text,
    // the last the query.
    const std::string text = cp932ToUtf8Lossy(pieces.front());
    const TextFold same = [](std::string_view s) { return std::string(s); };
    const std::vector<std::string> words = diaryQueryWords(cp932ToUtf8Lossy(pieces.back()), same);
    DiaryMatch match;
    if (matchDiaryText(text, words, same, match)) {
        for (const std::string& w : words)
            FUZZ_CHECK(text.find(w) != std::string::npos, "every word occurs");
        std::size_t start = 0;
        for (std::size_t n = 0; n < match.line; ++n)
            start = text.find('\n', start) + 1;
        const std::string line = text.substr(start, text.find('\n', start) - start);
        FUZZ_CHECK(match.begin <= match.end && match.end <= line.size(), "the span is in the line");
        const std::string found = line.substr(match.begin, match.end - match.begin);
        FUZZ_CHECK(std::find(words.begin(), words.end(), found) != words.end(),
                   "the span is one of the words");
    }
    return 0;
}
