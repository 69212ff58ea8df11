#include "ledger/backup_store.h"

#include "ledger/book.h"
#include "ledger/config_file.h"
#include "ledger/diary_draft.h"
#include "ledger/errors.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

namespace fs = std::filesystem;

namespace {} // namespace

std::string sameFolder(const std::string& dir) {
    std::error_code ec;
    const fs::path p = fs::weakly_canonical(fs::path(dir.empty() ? "." : dir), ec);
    return ec ? dir : p.lexically_normal().string();
}

namespace {

bool endsWith(const std::string& s, const char* tail) {
    const std::string t(tail);
    if (s.size() < t.size()) return false;
    std::string end = s.substr(s.size() - t.size());
    std::transform(end.begin(), end.end(), end.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return end == t;
}

} // namespace

bool classifyBookFile(const BookFolders& folders, const std::string& path, BookFile& file) {
    const fs::path p(path);
    const std::string name = p.filename().string();
    if (name.empty() || name[0] == '.') return false;
    const std::string dir = sameFolder(p.parent_path().string());
    if (name == ConfigFileName && dir == sameFolder(folders.dataDir)) {
        file = {'C', name};
        return true;
    }
    if (endsWith(name, ".nik") && dir == sameFolder(folders.diaryDir)) {
        file = {'D', name};
        return true;
    }
    // A PC's presence file says only that it is running, and its diary
    // draft is rewritten at every pause in typing: no version of either is
    // worth keeping or archiving.
    if (!endsWith(name, ".pdf") && !endsWith(name, ".csv") && !endsWith(name, ".run") &&
        !isDiaryDraftFileName(name) && name != ConfigFileName &&
        dir == sameFolder(folders.ledgerDir)) {
        file = {'L', name};
        return true;
    }
    return false;
}

std::string bookFilePath(const BookFolders& folders, const BookFile& file) {
    const std::string& dir = file.kind == 'C'   ? folders.dataDir
                             : file.kind == 'D' ? folders.diaryDir
                                                : folders.ledgerDir;
    return joinPath(dir, file.name);
}

std::string backupSettingsFileName(const std::string& pc) {
    return pc.empty() ? std::string(BackupSettingsFileName) : "ZADUDBAK-" + pc + ".CFG";
}

BackupSettings readBackupSettings(FileStore& files, const std::string& ledgerDir, bool* damaged,
                                  const std::string& pc) {
    BackupSettings s;
    if (damaged) *damaged = false;
    std::string bytes;
    if (files.tryRead(joinPath(ledgerDir, backupSettingsFileName(pc)), bytes) != 0 &&
        (pc.empty() || files.tryRead(joinPath(ledgerDir, BackupSettingsFileName), bytes) != 0))
        return s;
    auto number = [&](std::string_view text, int& field) {
        try {
            const int32_t v = parseInt32(text);
            if (v >= 0 && v <= 1200) {
                field = v;
                return;
            }
        } catch (const AppError&) {
        }
        if (damaged) *damaged = true;
    };
    forEachLine(bytes, [&](std::string_view line) {
        const auto eq = line.find('=');
        const std::string_view key = line.substr(0, eq), value = line.substr(eq + 1);
        if (eq == std::string_view::npos) {
            if (!line.empty() && damaged) *damaged = true;
        } else if (key == "FOLDER")
            s.folder = std::string(value);
        else if (key == "ALLDAYS")
            number(value, s.keep.allDays);
        else if (key == "DAILYMONTHS")
            number(value, s.keep.dailyMonths);
        else if (key == "MONTHLYMONTHS")
            number(value, s.keep.monthlyMonths);
        else if (damaged)
            *damaged = true;
    });
    return s;
}

void writeBackupSettings(FileStore& files, const std::string& ledgerDir, const BackupSettings& s,
                         const std::string& pc) {
    files.writeSafely(joinPath(ledgerDir, backupSettingsFileName(pc)),
                      "FOLDER=" + s.folder + "\r\nALLDAYS=" + std::to_string(s.keep.allDays) +
                          "\r\nDAILYMONTHS=" + std::to_string(s.keep.dailyMonths) +
                          "\r\nMONTHLYMONTHS=" + std::to_string(s.keep.monthlyMonths) + "\r\n");
}

std::string sharedBackupFolderOf(const BookFolders& folders, const BackupSettings& settings) {
    if (folders.pc.empty()) return {};
    return settings.folder.empty() ? joinPath(folders.dataDir, "backup") : settings.folder;
}

std::string backupFolderOf(const BookFolders& folders, const BackupSettings& settings) {
    const std::string base =
        settings.folder.empty() ? joinPath(folders.dataDir, "backup") : settings.folder;
    return folders.pc.empty() ? base : joinPath(base, folders.pc);
}

std::string backupFailureMessage(const std::string& reason) {
    return "ﾊﾞｯｸｱｯﾌﾟを保存できません (" + reason + ")。ﾃﾞｰﾀの保存は続けます";
}
