#pragma once
// Backups with history: every save of a file of the account book (a month
// file, a diary day, ZADUD.CFG, a side file of the ledger folder) keeps the
// bytes it replaces in the backup folder, compressed and stored once per
// content, and the keep rules then thin out the older versions.
//
// The backup folder holds BACKUP.IDX (one line per kept version, CP932,
// CR LF: "time,kind,object,name", time in seconds since 1970, kind C/L/D
// for the data, ledger and diary folder) and one zlib-compressed object per
// distinct content, named "<64-bit hash>-<size>.z".

#include "ledger/text_file.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

// The three folders of an account book, UTF-8 paths.
struct BookFolders {
    std::string dataDir; // holds ZADUD.CFG
    std::string ledgerDir;
    std::string diaryDir;
};

// A file of the account book by its role: 'C' ZADUD.CFG in the data folder,
// 'D' a diary day (".nik") in the diary folder, 'L' any other file of the
// ledger folder except exports (".pdf", ".csv") and hidden files.
struct BookFile {
    char kind = 0;
    std::string name;
    bool operator==(const BookFile& o) const { return kind == o.kind && name == o.name; }
};
// False for a path that is no file of the book.
bool classifyBookFile(const BookFolders& folders, const std::string& path, BookFile& file);
std::string bookFilePath(const BookFolders& folders, const BookFile& file);

// Every version younger than allDays days; then the last of each day for
// dailyMonths months; then the last of each month, for monthlyMonths months
// counted from today (0: for ever). The newest version is always kept.
struct KeepRules {
    int allDays = 7;
    int dailyMonths = 3;
    int monthlyMonths = 0;
    bool operator==(const KeepRules& o) const {
        return allDays == o.allDays && dailyMonths == o.dailyMonths &&
               monthlyMonths == o.monthlyMonths;
    }
};

// Which of a file's versions (their times, oldest first) the rules keep at
// `now`; days and months are local ones.
std::vector<bool> keptVersions(const std::vector<std::time_t>& times, std::time_t now,
                               const KeepRules& rules);

// The side file ZADUDBAK.CFG in the ledger folder: "FOLDER=" (empty: the
// default), "ALLDAYS=", "DAILYMONTHS=", "MONTHLYMONTHS=". Missing: the
// defaults; a damaged line keeps its default and sets `damaged`.
inline constexpr const char* BackupSettingsFileName = "ZADUDBAK.CFG";
struct BackupSettings {
    std::string folder;
    KeepRules keep;
};
BackupSettings readBackupSettings(const std::string& ledgerDir, bool* damaged = nullptr);
void writeBackupSettings(const std::string& ledgerDir, const BackupSettings& settings);
// The folder in use: the configured one, else "backup" in the data folder.
std::string backupFolderOf(const BookFolders& folders, const BackupSettings& settings);

struct BackupVersion {
    std::time_t time = 0; // when this version was replaced
    BookFile file;
    std::string object;
};

class BackupStore {
public:
    using Clock = std::function<std::time_t()>;
    explicit BackupStore(std::function<BookFolders()> folders, Clock clock = nullptr);

    // For setBackupHook: keeps what every watched save replaces; a failure
    // is reported to the failure handler once, and never thrown.
    BackupHook hook();
    bool watches(const std::string& path) const;
    // Keeps `oldBytes` as a version of the book file at `path`, then prunes
    // by the rules. Throws AppError when the backup cannot be written.
    void keep(const std::string& path, const std::string& oldBytes);

    // The kept versions of the book file at `path`, newest first.
    std::vector<BackupVersion> versions(const std::string& path) const;
    std::string bytesOf(const BackupVersion& version) const;

    // Called with the error box's text at the first failure after a backup
    // that worked (or after the start).
    void setFailureHandler(std::function<void(const std::string& message)> handler);
    bool failing() const { return failing_; }

private:
    std::string folder() const;
    std::function<BookFolders()> folders_;
    Clock clock_;
    std::function<void(const std::string&)> onFailure_;
    bool failing_ = false;
    bool told_ = false;
};

// "ﾊﾞｯｸｱｯﾌﾟを保存できません (%s)。ﾃﾞｰﾀの保存は続けます"
std::string backupFailureMessage(const std::string& reason);
