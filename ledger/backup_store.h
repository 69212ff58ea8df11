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

#include "ledger/file_store.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

// The three folders of an account book, UTF-8 paths, and the PC they are
// used on.
struct BookFolders {
    std::string dataDir; // holds ZADUD.CFG
    std::string ledgerDir;
    std::string diaryDir;
    // This PC's name as its own files carry it (safePcName): its backups
    // and their settings are its own, so that no two PCs sharing the folders
    // ever write one backup file. Empty: the folders' shared files, as a book
    // kept on one PC had them.
    std::string pc;
};

// A file of the account book by its role: 'C' ZADUD.CFG in the data folder,
// 'D' a diary day (".nik") in the diary folder, 'L' any other file of the
// ledger folder except exports (".pdf", ".csv"), the PCs' presence files
// (".RUN") and diary drafts (".NIKD"), and hidden files.
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
// counted from today (0: for ever). The newest version is always kept
// (keptVersions in storage/backup_files.h).
struct KeepRules {
    int allDays = 7;
    int dailyMonths = 3;
    int monthlyMonths = 0;
    bool operator==(const KeepRules& o) const {
        return allDays == o.allDays && dailyMonths == o.dailyMonths &&
               monthlyMonths == o.monthlyMonths;
    }
};

// The side file ZADUDBAK.CFG in the ledger folder, or a PC's own
// ZADUDBAK-<PC>.CFG: "FOLDER=" (empty: the default), "ALLDAYS=",
// "DAILYMONTHS=", "MONTHLYMONTHS=". A PC without a file of its own reads the
// shared one; missing both: the defaults. A damaged line keeps its default
// and sets `damaged`. A PC writes only its own.
inline constexpr const char* BackupSettingsFileName = "ZADUDBAK.CFG";
std::string backupSettingsFileName(const std::string& pc);
struct BackupSettings {
    std::string folder;
    KeepRules keep;
};
BackupSettings readBackupSettings(FileStore& files, const std::string& ledgerDir,
                                  bool* damaged = nullptr, const std::string& pc = {});
void writeBackupSettings(FileStore& files, const std::string& ledgerDir,
                         const BackupSettings& settings, const std::string& pc = {});
// The folder in use: the configured one, else "backup" in the data folder;
// a PC keeps its versions in a folder of its own name inside it.
std::string backupFolderOf(const BookFolders& folders, const BackupSettings& settings);
// Where versions were kept before they went per PC (read, never written);
// empty without a PC.
std::string sharedBackupFolderOf(const BookFolders& folders, const BackupSettings& settings);

struct BackupVersion {
    std::time_t time = 0; // when this version was replaced
    BookFile file;
    std::string object;
    std::string folder; // set for a version of the shared folder
};

// "ﾊﾞｯｸｱｯﾌﾟを保存できません (%s)。ﾃﾞｰﾀの保存は続けます"
std::string backupFailureMessage(const std::string& reason);

// A folder's path with "..", "." and links resolved, to compare folders.
std::string sameFolder(const std::string& dir);
