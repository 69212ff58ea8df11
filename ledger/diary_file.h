#pragma once
// The diary: one CP932 text file per day, named by year, month and day.
//
// The stored rule writes the three numbers without leading zeros, so it gives
// one name to two days in eighteen pairs a year (15 January and 5 November
// 1998 are both "1998115.nik"). Those 36 days are written under the
// zero-padded name instead ("19980115.nik"), which the rule never produces
// for them, and read from it when it exists, else from the rule's name so
// that entries stored earlier stay readable.

#include "ledger/file_store.h"

#include <string>

struct FileStamp;

// "199837.nik", "19981225.nik", "1998115.nik".
std::string diaryRuleName(int year, int month, int day);

// Whether the rule gives this day's name to another day of the same year.
bool diaryNameShared(int year, int month, int day);

// The name a day's entry is written to: the rule's name, or the zero-padded
// one for a shared day.
std::string diaryFileName(int year, int month, int day);

// Reads the day's entry from `dir` as stored, byte for byte. A day without a
// file gets an empty one at once, so the result is then empty. Any other
// failure throws the mapped file error and creates nothing. `stamp`, when
// given, receives what the file the entry is written to held (an entry read
// from the rule's name leaves it not existing).
std::string loadDiaryFile(FileStore& files, const std::string& dir, int year, int month, int day,
                          FileStamp* stamp = nullptr);

// Reads the day's entry without ever creating a file: false when the day has
// none. Any other failure throws the mapped file error.
bool readDiaryFile(FileStore& files, const std::string& dir, int year, int month, int day,
                   std::string& bytes);

// Replaces the day's entry with `bytes`, safely: a failed write leaves the
// old file as it was and throws the mapped file error.
void saveDiaryFile(FileStore& files, const std::string& dir, int year, int month, int day,
                   const std::string& bytes);

// The memo's text for the stored bytes: the file's lines joined by "\n",
// without a line break after the last one.
std::string diaryText(const std::string& bytes);

// The file's bytes for a text: its lines each ended by CR LF, so an empty
// text is one CR LF; a lone CR or LF is a line end too. diaryText of the
// result gives the text back, with "\n" for every line end.
std::string diaryBytes(const std::string& text);

// The memo's text (UTF-8) for the stored bytes: diaryText, decoded so that
// bytes that are not CP932 are carried as private-use characters.
std::string diaryMemoText(const std::string& bytes);

// The stored bytes for a memo text that was edited. Ctrl-Z, which ends a
// file on reading, NUL, and a character that CP932 cannot hold or that would read
// back as another one are refused with a message naming it;
// diaryMemoText of the result gives the text back.
std::string diaryMemoBytes(const std::string& utf8Text);

// What saving writes: the stored bytes themselves while the memo still shows
// `loadedText`, the text it showed when they were loaded (so a save without
// an edit changes no byte), else diaryMemoBytes(text).
std::string diarySaveBytes(const std::string& storedBytes, const std::string& loadedText,
                           const std::string& text);
