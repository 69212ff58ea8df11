#include "ledger/diary_index.h"

#include "ledger/cp932.h"
#include "ledger/diary_file.h"
#include "ledger/errors.h"
#include "ledger/month_table.h"
#include "ledger/text_file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <tuple>

namespace {

bool isDate(int year, int month, int day) {
    return year >= 1 && month >= 1 && month <= 12 && day >= 1 && day <= daysInMonth(year, month);
}

bool allDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<DiaryDate> daysOf(const std::string& name, const std::set<std::string>& names) {
    constexpr std::string_view Ext = ".nik";
    std::vector<DiaryDate> days;
    if (name.size() < 6 + Ext.size() || name.size() > 8 + Ext.size()) return days;
    if (std::string_view(name).substr(name.size() - Ext.size()) != Ext) return days;
    const std::string_view digits = std::string_view(name).substr(0, name.size() - Ext.size());
    if (!allDigits(digits)) return days;
    const int year = std::stoi(std::string(digits.substr(0, 4)));
    const std::string_view monthDay = digits.substr(4);
    // Every split of the month-and-day digits is a candidate; the naming
    // functions the diary window uses decide which days really read the file.
    for (std::size_t split = 1; split < monthDay.size(); ++split) {
        const int month = std::stoi(std::string(monthDay.substr(0, split)));
        const int day = std::stoi(std::string(monthDay.substr(split)));
        if (!isDate(year, month, day)) continue;
        const std::string own = diaryFileName(year, month, day);
        const bool read =
            own == name || (diaryRuleName(year, month, day) == name && names.count(own) == 0);
        if (read) days.push_back({year, month, day});
    }
    return days;
}

// Byte offsets where UTF-8 characters start, and the end.
std::vector<std::size_t> charStarts(std::string_view s) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < s.size(); ++i)
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) starts.push_back(i);
    starts.push_back(s.size());
    return starts;
}

// The span of `line` whose folded form holds the first occurrence of `word`:
// folding may change lengths (ｶﾞ becomes ガ), so the span is found by folding
// parts of the line rather than by counting.
void locateSpan(std::string_view line, const std::string& word, const TextFold& fold,
                DiaryMatch& match) {
    const std::vector<std::size_t> at = charStarts(line);
    auto holds = [&](std::size_t from, std::size_t to) {
        return fold(line.substr(at[from], at[to] - at[from])).find(word) != std::string::npos;
    };
    const std::size_t last = at.size() - 1;
    if (!holds(0, last)) {
        match.begin = 0;
        match.end = line.size();
        return;
    }
    // The shortest prefix that holds the word ends the span...
    std::size_t lo = 1, hi = last;
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (holds(0, mid))
            hi = mid;
        else
            lo = mid + 1;
    }
    const std::size_t end = lo;
    // ...and the latest start that still holds it begins it.
    lo = 0;
    hi = end - 1;
    while (lo < hi) {
        const std::size_t mid = (lo + hi + 1) / 2;
        if (holds(mid, end))
            lo = mid;
        else
            hi = mid - 1;
    }
    match.begin = at[lo];
    match.end = at[end];
}

} // namespace

bool operator==(const DiaryDate& a, const DiaryDate& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day;
}

bool operator<(const DiaryDate& a, const DiaryDate& b) {
    return std::tie(a.year, a.month, a.day) < std::tie(b.year, b.month, b.day);
}

std::vector<DiaryEntry> listDiaryFolder(const std::string& dir) {
    namespace fs = std::filesystem;
    // The files "in" the folder: a missing folder then reads as a missing
    // path, as the diary window reports it.
    auto fail = [&](const std::error_code& ec) {
        return fileError(ec.value(), joinPath(dir, "*"));
    };
    std::error_code ec;
    fs::directory_iterator it(fs::u8path(dir), ec);
    if (ec) throw fail(ec);
    std::set<std::string> names;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) throw fail(ec);
        names.insert(it->path().filename().string());
    }
    if (ec) throw fail(ec);

    std::vector<DiaryEntry> entries;
    for (const std::string& name : names)
        for (const DiaryDate& date : daysOf(name, names))
            entries.push_back({date, name, {}, {}});
    std::sort(entries.begin(), entries.end(),
              [](const DiaryEntry& a, const DiaryEntry& b) { return b.date < a.date; });
    return entries;
}

void readDiaryEntry(FileStore& files, const std::string& dir, DiaryEntry& entry) {
    entry.error.clear();
    entry.text.clear();
    const std::string path = joinPath(dir, entry.fileName);
    std::string bytes;
    try {
        if (const int err = files.tryRead(path, bytes)) {
            entry.error = fileError(err, path).what();
            return;
        }
    } catch (const AppError& e) {
        entry.error = e.what();
        return;
    }
    entry.text = cp932ToUtf8Lossy(diaryText(bytes));
}

std::vector<DiaryEntry> diaryMonth(FileStore& files, const std::string& dir, int year, int month) {
    std::vector<DiaryEntry> entries;
    for (DiaryEntry& e : listDiaryFolder(dir)) {
        if (e.date.year != year || e.date.month != month) continue;
        readDiaryEntry(files, dir, e);
        entries.push_back(std::move(e));
    }
    return entries;
}

std::vector<std::string> diaryQueryWords(std::string_view query, const TextFold& fold) {
    const std::string folded = fold(query);
    std::vector<std::string> words;
    std::string word;
    auto flush = [&] {
        if (!word.empty()) words.push_back(std::move(word));
        word.clear();
    };
    constexpr std::string_view WideBlank = "\xE3\x80\x80"; // U+3000
    for (std::size_t i = 0; i < folded.size(); ++i) {
        // A line break (a pasted or command-line query) parts words too: a
        // match never spans lines, since a hit shows one line.
        if (folded[i] == ' ' || folded[i] == '\t' || folded[i] == '\n' || folded[i] == '\r') {
            flush();
        } else if (folded.compare(i, WideBlank.size(), WideBlank) == 0) {
            flush();
            i += WideBlank.size() - 1;
        } else {
            word += folded[i];
        }
    }
    flush();
    return words;
}

bool matchDiaryText(std::string_view text, const std::vector<std::string>& words,
                    const TextFold& fold, DiaryMatch& match) {
    if (words.empty()) return false;
    const std::string folded = fold(text);
    std::size_t first = std::string::npos;
    const std::string* firstWord = nullptr;
    for (const std::string& w : words) {
        const std::size_t pos = folded.find(w);
        if (pos == std::string::npos) return false;
        if (pos < first) {
            first = pos;
            firstWord = &w;
        }
    }
    match.line = static_cast<std::size_t>(std::count(folded.begin(), folded.begin() + first, '\n'));
    locateSpan(textLine(text, match.line), *firstWord, fold, match);
    return true;
}

std::vector<DiaryHit> searchDiary(FileStore& files, const std::string& dir, std::string_view query,
                                  const TextFold& fold, const std::atomic<bool>* cancel) {
    std::vector<DiaryHit> hits;
    const std::vector<std::string> words = diaryQueryWords(query, fold);
    if (words.empty()) return hits;
    for (DiaryEntry& e : listDiaryFolder(dir)) {
        if (cancel && cancel->load(std::memory_order_relaxed)) break;
        readDiaryEntry(files, dir, e);
        DiaryHit hit;
        if (e.error.empty()) {
            if (!matchDiaryText(e.text, words, fold, hit.match)) continue;
            hit.line = std::string(textLine(e.text, hit.match.line));
        }
        hit.entry = std::move(e);
        hits.push_back(std::move(hit));
    }
    return hits;
}

std::string isoDate(const DiaryDate& date) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

std::string_view textLine(std::string_view text, std::size_t index) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < index; ++i) {
        const std::size_t nl = text.find('\n', start);
        if (nl == std::string_view::npos) return {};
        start = nl + 1;
    }
    const std::size_t nl = text.find('\n', start);
    return text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
}
