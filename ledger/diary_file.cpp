#include "ledger/diary_file.h"

#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/text_file.h"

#include <cerrno>
#include <cstdio>

std::string diaryRuleName(int year, int month, int day) {
    return std::to_string(year) + std::to_string(month) + std::to_string(day) + ".nik";
}

bool diaryNameShared(int, int month, int day) {
    // A three-digit month-and-day reads "1" "1x"/"2x" for 11..29 January and
    // "11" "x" / "12" "x" for 1..9 November and December.
    const bool januaryTeens = month == 1 && ((day >= 11 && day <= 19) || (day >= 21 && day <= 29));
    const bool lateMonthStart = (month == 11 || month == 12) && day >= 1 && day <= 9;
    return januaryTeens || lateMonthStart;
}

std::string diaryFileName(int year, int month, int day) {
    if (!diaryNameShared(year, month, day)) return diaryRuleName(year, month, day);
    char text[32];
    std::snprintf(text, sizeof text, "%d%02d%02d.nik", year, month, day);
    return text;
}

namespace {

// The errno of the failed read (ENOENT when the day has no file), 0 on success.
// `fromOwn` tells whether the bytes came from the name the entry is written to.
int tryReadDiary(FileStore& files, const std::string& dir, int year, int month, int day,
                 std::string& bytes, bool* fromOwn = nullptr) {
    int err = files.tryRead(joinPath(dir, diaryFileName(year, month, day)), bytes);
    if (fromOwn) *fromOwn = err == 0;
    if (err == ENOENT && diaryNameShared(year, month, day))
        err = files.tryRead(joinPath(dir, diaryRuleName(year, month, day)), bytes);
    return err;
}

} // namespace

std::string loadDiaryFile(FileStore& files, const std::string& dir, int year, int month, int day,
                          FileStamp* stamp) {
    const std::string own = joinPath(dir, diaryFileName(year, month, day));
    std::string bytes;
    if (stamp) *stamp = FileStamp{};
    bool fromOwn = false;
    const int err = tryReadDiary(files, dir, year, month, day, bytes, &fromOwn);
    if (err == 0) {
        if (stamp && fromOwn) *stamp = stampOf(bytes);
        return bytes;
    }
    // Only a missing file is created: an existing one that cannot be read
    // must not be emptied.
    if (err != ENOENT) throw fileError(err, own);
    files.writeSafely(own, std::string());
    if (stamp) *stamp = stampOf(std::string());
    return std::string();
}

bool readDiaryFile(FileStore& files, const std::string& dir, int year, int month, int day,
                   std::string& bytes) {
    const int err = tryReadDiary(files, dir, year, month, day, bytes);
    if (err == ENOENT) return false;
    if (err != 0) throw fileError(err, joinPath(dir, diaryFileName(year, month, day)));
    return true;
}

void saveDiaryFile(FileStore& files, const std::string& dir, int year, int month, int day,
                   const std::string& bytes) {
    files.writeSafely(joinPath(dir, diaryFileName(year, month, day)), bytes);
}

std::string diaryText(const std::string& bytes) {
    std::string text;
    bool first = true;
    for (const std::string& line : splitLines(bytes)) {
        if (!first) text += '\n';
        text += line;
        first = false;
    }
    return text;
}

std::string diaryBytes(const std::string& text) {
    std::string bytes;
    bytes.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            bytes += "\r\n";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            bytes += c;
        }
    }
    bytes += "\r\n";
    return bytes;
}

std::string diaryMemoText(const std::string& bytes) {
    return cp932ToUtf8Preserving(diaryText(bytes));
}

std::string diaryMemoBytes(const std::string& utf8Text) {
    // Ctrl-Z ends a file on reading, and NUL ends the lines of many readers:
    // what follows would be lost. Other control characters read back as
    // written.
    for (const char c : utf8Text)
        if (c == '\x1A' || c == '\0')
            throw AppError("日記に制御文字 " + describeChar(static_cast<unsigned char>(c)) +
                           " は使えません");
    return diaryBytes(utf8ToCp932Preserving(utf8Text, "日記"));
}

std::string diarySaveBytes(const std::string& storedBytes, const std::string& loadedText,
                           const std::string& text) {
    return text == loadedText ? storedBytes : diaryMemoBytes(text);
}
