#pragma once
// Diary text typed but not saved yet, kept on disk so that a kill, a crash
// or a logout never loses it. Each PC keeps its own file in the ledger
// folder, ZADUD-<PC>.NIKD, so that no two PCs ever write one file; it holds
// one record per day with unsaved text.
//
// The file is CP932 text: a first line "NIKKIDRAFT 1", then per day the line
// "DAY <y> <m> <d> <base size> <base fingerprint> <CP932|UTF8> <length>",
// that many bytes of text, and CR LF. A damaged record ends the reading: the
// records before it are kept.

#include "ledger/file_store.h"

#include <cstdint>
#include <string>
#include <vector>

struct DiaryDraft {
    int year = 0, month = 0, day = 0;
    // The day file the typing started from, so that a later change of it
    // (another PC, an edit by hand) is seen before the text is offered.
    uint64_t baseSize = 0;
    uint64_t baseFingerprint = 0;
    // The text as the day file would hold it (CP932, CR LF); a text holding
    // a character CP932 cannot is kept as the memo's UTF-8 instead, so that
    // nothing of it is lost before the user sees the refusal on saving.
    bool utf8 = false;
    std::string bytes;

    bool isDay(int y, int m, int d) const { return year == y && month == m && day == d; }
    // Whether the day file still holds what the typing started from.
    bool startedFrom(const std::string& fileBytes) const;
    // The memo's text (UTF-8) for the kept bytes.
    std::string memoText() const;
    bool operator==(const DiaryDraft& o) const;
};

// The draft of a day's memo text typed over the day file's `baseBytes`.
DiaryDraft makeDiaryDraft(int year, int month, int day, const std::string& baseBytes,
                          const std::string& memoText);

// A stable fingerprint of a file's bytes (64-bit FNV-1a).
uint64_t draftFingerprint(const std::string& bytes);

// "ZADUD-<PC>.NIKD"; "ZADUD.NIKD" for a book used on one PC only.
std::string diaryDraftFileName(const std::string& pc);
// Whether a file's name is a PC's draft file (any PC's).
bool isDiaryDraftFileName(const std::string& name);

std::string formatDiaryDrafts(const std::vector<DiaryDraft>& drafts);
std::vector<DiaryDraft> parseDiaryDrafts(const std::string& bytes);

// One PC's draft file. Writes go through writeSafely, so the file is always
// whole; the file is removed when its last record goes.
class DiaryDraftFile {
public:
    DiaryDraftFile(FileStore& files, std::string path) : files_(files), path_(std::move(path)) {}
    // Every record; none when the file is missing. A file that cannot be
    // read throws the mapped error.
    std::vector<DiaryDraft> read() const;
    // Puts `draft` in place of the record of its day.
    void keep(const DiaryDraft& draft);
    // Removes the record of a day; nothing is written when there is none.
    void drop(int year, int month, int day);

private:
    void write(const std::vector<DiaryDraft>& drafts);

    FileStore& files_;
    std::string path_;
};

// The note shown at start when this PC's draft file holds text that differs
// from its day's file: which days' diaries hold unsaved text. Empty when
// none, or when the files cannot be read (the diary window tries again).
std::string unsavedDiaryNote(FileStore& files, const std::string& ledgerDir,
                             const std::string& diaryDir, const std::string& pc);
