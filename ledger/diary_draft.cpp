#include "ledger/diary_draft.h"

#include "ledger/diary_file.h"
#include "ledger/errors.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sstream>

namespace {

const std::string Head = "NIKKIDRAFT 1\r\n";
const std::string Ext = ".NIKD";

std::string hex16(uint64_t v) {
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
    return buf;
}

// A decimal number without a sign, of at most 12 digits.
bool number(const std::string& s, uint64_t& value) {
    if (s.empty() || s.size() > 12 || s.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::stoull(s);
    return true;
}

// One record's header line; false for anything but the exact form.
bool parseHeader(const std::string& line, DiaryDraft& d, std::size_t& length) {
    std::istringstream in(line);
    std::string tag, ys, ms, ds, size, fp, enc, len, rest;
    if (!(in >> tag >> ys >> ms >> ds >> size >> fp >> enc >> len) || (in >> rest)) return false;
    uint64_t y = 0, m = 0, day = 0, n = 0;
    if (tag != "DAY" || !number(ys, y) || !number(ms, m) || !number(ds, day) ||
        !number(size, d.baseSize) || !number(len, n))
        return false;
    if (y < 1 || y > 9999 || m < 1 || m > 12 || day < 1 || day > 31) return false;
    if (fp.size() != 16 || fp.find_first_not_of("0123456789abcdef") != std::string::npos)
        return false;
    if (enc != "CP932" && enc != "UTF8") return false;
    d.year = static_cast<int>(y);
    d.month = static_cast<int>(m);
    d.day = static_cast<int>(day);
    d.baseFingerprint = std::stoull(fp, nullptr, 16);
    d.utf8 = enc == "UTF8";
    length = static_cast<std::size_t>(n);
    return true;
}

} // namespace

bool DiaryDraft::startedFrom(const std::string& fileBytes) const {
    return baseSize == fileBytes.size() && baseFingerprint == draftFingerprint(fileBytes);
}

std::string DiaryDraft::memoText() const {
    return utf8 ? bytes : diaryMemoText(bytes);
}

bool DiaryDraft::operator==(const DiaryDraft& o) const {
    return isDay(o.year, o.month, o.day) && baseSize == o.baseSize &&
           baseFingerprint == o.baseFingerprint && utf8 == o.utf8 && bytes == o.bytes;
}

DiaryDraft makeDiaryDraft(int year, int month, int day, const std::string& baseBytes,
                          const std::string& memoText) {
    DiaryDraft d;
    d.year = year;
    d.month = month;
    d.day = day;
    d.baseSize = baseBytes.size();
    d.baseFingerprint = draftFingerprint(baseBytes);
    try {
        d.bytes = diaryMemoBytes(memoText);
    } catch (const std::exception&) {
        // Saving will name the character; until then the text is kept whole.
        d.utf8 = true;
        d.bytes = memoText;
    }
    return d;
}

uint64_t draftFingerprint(const std::string& bytes) {
    uint64_t h = 14695981039346656037ULL;
    for (const unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ULL;
    }
    return h;
}

std::string diaryDraftFileName(const std::string& pc) {
    return pc.empty() ? "ZADUD" + Ext : "ZADUD-" + pc + Ext;
}

bool isDiaryDraftFileName(const std::string& name) {
    if (name.size() < Ext.size()) return false;
    std::string end = name.substr(name.size() - Ext.size());
    std::transform(end.begin(), end.end(), end.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    });
    return end == Ext && name.compare(0, 5, "ZADUD") == 0;
}

std::string formatDiaryDrafts(const std::vector<DiaryDraft>& drafts) {
    std::string out = Head;
    for (const DiaryDraft& d : drafts)
        out += "DAY " + std::to_string(d.year) + " " + std::to_string(d.month) + " " +
               std::to_string(d.day) + " " + std::to_string(d.baseSize) + " " +
               hex16(d.baseFingerprint) + (d.utf8 ? " UTF8 " : " CP932 ") +
               std::to_string(d.bytes.size()) + "\r\n" + d.bytes + "\r\n";
    return out;
}

std::vector<DiaryDraft> parseDiaryDrafts(const std::string& bytes) {
    std::vector<DiaryDraft> out;
    if (bytes.compare(0, Head.size(), Head) != 0) return out;
    std::size_t at = Head.size();
    for (std::size_t eol; (eol = bytes.find("\r\n", at)) != std::string::npos;) {
        DiaryDraft d;
        std::size_t length = 0;
        if (!parseHeader(bytes.substr(at, eol - at), d, length)) break;
        at = eol + 2;
        // A record cut short (a file copied half-way) ends the reading.
        if (length > bytes.size() - at || bytes.compare(at + length, 2, "\r\n") != 0) break;
        d.bytes = bytes.substr(at, length);
        at += length + 2;
        // A day twice: the later record is the newer.
        out.erase(
            std::remove_if(out.begin(), out.end(),
                           [&d](const DiaryDraft& o) { return o.isDay(d.year, d.month, d.day); }),
            out.end());
        out.push_back(std::move(d));
    }
    return out;
}

std::vector<DiaryDraft> DiaryDraftFile::read() const {
    std::string bytes;
    const int err = files_.tryRead(path_, bytes);
    if (err == ENOENT) return {};
    if (err) throw fileError(err, path_);
    return parseDiaryDrafts(bytes);
}

void DiaryDraftFile::keep(const DiaryDraft& draft) {
    std::vector<DiaryDraft> drafts = read();
    auto same = std::find_if(drafts.begin(), drafts.end(), [&draft](const DiaryDraft& d) {
        return d.isDay(draft.year, draft.month, draft.day);
    });
    if (same != drafts.end() && *same == draft) return;
    if (same != drafts.end())
        *same = draft;
    else
        drafts.push_back(draft);
    write(drafts);
}

void DiaryDraftFile::drop(int year, int month, int day) {
    std::vector<DiaryDraft> drafts = read();
    const auto kept = std::remove_if(drafts.begin(), drafts.end(), [&](const DiaryDraft& d) {
        return d.isDay(year, month, day);
    });
    if (kept == drafts.end()) return;
    drafts.erase(kept, drafts.end());
    write(drafts);
}

void DiaryDraftFile::write(const std::vector<DiaryDraft>& drafts) {
    if (drafts.empty())
        files_.remove(path_);
    else
        files_.writeSafely(path_, formatDiaryDrafts(drafts));
}

std::string unsavedDiaryNote(FileStore& files, const std::string& ledgerDir,
                             const std::string& diaryDir, const std::string& pc) {
    std::vector<DiaryDraft> drafts;
    try {
        drafts = DiaryDraftFile(files, joinPath(ledgerDir, diaryDraftFileName(pc))).read();
    } catch (const std::exception&) {
        return {};
    }
    std::string days;
    for (const DiaryDraft& d : drafts) {
        try {
            std::string stored;
            readDiaryFile(files, diaryDir, d.year, d.month, d.day, stored);
            // Saved already, only the draft's removal was cut short.
            if (diaryMemoText(stored) == d.memoText()) continue;
        } catch (const std::exception&) {
            // The day file cannot be read now: the text is named all the same.
        }
        days += (days.empty() ? "" : "、") + std::to_string(d.year) + "年" +
                std::to_string(d.month) + "月" + std::to_string(d.day) + "日";
    }
    if (days.empty()) return {};
    return "前回保存されなかった日記の入力があります (" + days +
           ")。その日の日記を開くと入力が戻ります。";
}
