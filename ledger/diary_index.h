#pragma once
// The diary folder as a list of days, and the search over its entries.
//
// Each file is mapped to the days the diary window would read it for: its
// own name's day, and for a rule name shared by two days (1998115.nik is
// 15 January and 5 November) each of those days that has no zero-padded
// file of its own. Only four-digit years are read: the rule's names of
// shorter years collide with those of four-digit ones.
//
// Matching compares texts after a folding function that the caller passes
// (the user interface's Unicode normalisation and case folding), applied to
// the query and to every entry alike.

#include "ledger/file_store.h"

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct DiaryDate {
    int year = 0;
    int month = 0;
    int day = 0;
};
bool operator==(const DiaryDate& a, const DiaryDate& b);
bool operator<(const DiaryDate& a, const DiaryDate& b);

struct DiaryEntry {
    DiaryDate date;
    std::string fileName; // as found in the folder
    // After readDiaryEntry: the program's message when the file could not be
    // read (the entry is then unreadable), else the text in UTF-8, its lines
    // joined by "\n", bytes that are not CP932 each as U+FFFD.
    std::string error;
    std::string text;
};

// The day files of `dir`, newest day first, not yet read. A folder that
// cannot be listed throws the mapped file error.
std::vector<DiaryEntry> listDiaryFolder(const std::string& dir);

// Reads one entry's file; a failure is kept in entry.error, never thrown.
void readDiaryEntry(FileStore& files, const std::string& dir, DiaryEntry& entry);

// The entries of one month, read, newest day first.
std::vector<DiaryEntry> diaryMonth(FileStore& files, const std::string& dir, int year, int month);

// Maps UTF-8 text to the form it is compared in. It must keep "\n" as it
// is, so that lines can be found in the folded text.
using TextFold = std::function<std::string(std::string_view utf8)>;

// The query's words: folded, then split at blanks, tabs and line breaks.
std::vector<std::string> diaryQueryWords(std::string_view query, const TextFold& fold);

struct DiaryMatch {
    std::size_t line = 0;  // index of the line with the earliest match
    std::size_t begin = 0; // byte span of that match within the line
    std::size_t end = 0;
};

// Whether every word occurs in `text`; `match` gets the earliest occurrence
// of any word. With no words nothing matches.
bool matchDiaryText(std::string_view text, const std::vector<std::string>& words,
                    const TextFold& fold, DiaryMatch& match);

struct DiaryHit {
    DiaryEntry entry;
    DiaryMatch match; // unused for an unreadable entry
    std::string line; // the matching line
};

// Every entry of `dir` holding all the query's words, newest first; an
// unreadable entry is listed too, since it might. Stops early, with what
// it found so far, once `cancel` is set.
std::vector<DiaryHit> searchDiary(FileStore& files, const std::string& dir, std::string_view query,
                                  const TextFold& fold, const std::atomic<bool>* cancel = nullptr);

// "1998-01-15".
std::string isoDate(const DiaryDate& date);

// Line `index` of a text whose lines are joined by "\n"; empty past the end.
std::string_view textLine(std::string_view text, std::size_t index);
