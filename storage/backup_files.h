#pragma once
// The backup folder on the disk: a store in front of another that keeps what
// every save of a book file replaces, compressed and stored once per content
// (see ledger/backup_store.h for the folder's files), then thins out the
// older versions by the keep rules.

#include "ledger/backup_store.h"
#include "ledger/file_store.h"

#include <ctime>
#include <functional>
#include <string>
#include <vector>

// Which of a file's versions (their times, oldest first) the rules keep at
// `now`; days and months are local ones.
std::vector<bool> keptVersions(const std::vector<std::time_t>& times, std::time_t now,
                               const KeepRules& rules);

class BackupStore : public ForwardingStore {
public:
    using Clock = std::function<std::time_t()>;
    // Saves go on to `inner`; so do the backup folder's own files, which
    // keep nothing.
    BackupStore(FileStore& inner, std::function<BookFolders()> folders, Clock clock = nullptr);

    // A watched file's old bytes are kept once the new ones are in place; a
    // backup that fails never fails the save: it is reported to the failure
    // handler once.
    void writeSafely(const std::string& path, const std::string& bytes) override;
    void writeAllSafely(const std::vector<std::pair<std::string, std::string>>& files) override;
    void writeAllDeferred(const std::vector<std::pair<std::string, std::string>>& files) override;

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
    void writeAll(const std::vector<std::pair<std::string, std::string>>& files, bool deferred);
    // The old bytes of a watched file, when it has any to keep.
    bool oldVersion(const std::string& path, std::string& old);
    void kept(const std::string& path, const std::string& old, const std::string& bytes);
    FileStore& disk() const { return disk_; }
    FileStore& disk_;
    std::function<BookFolders()> folders_;
    Clock clock_;
    std::function<void(const std::string&)> onFailure_;
    bool failing_ = false;
    bool told_ = false;
};
