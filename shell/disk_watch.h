#pragma once
// Files changed behind the program's back while it runs: a sync engine
// delivering another PC's work, or the user's own hand. The ledger and diary
// folders (and their files) are watched; a burst of notifications is waited
// out, then the folders are compared with what was seen last, and only files
// that another program changed, created or removed are named. What this
// program wrote itself is told beforehand through noteOwnWrite (WriteNotes
// does it for every write of the document), so our own saves never come
// back as someone else's.

#include "ledger/file_store.h"
#include "ledger/text_file.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

// Tells `onWrite` of every file about to be written or removed, then hands
// the call on.
class WriteNotes : public ForwardingStore {
public:
    using ForwardingStore::ForwardingStore;
    std::function<void(const std::string& path)> onWrite;
    void writeSafely(const std::string& path, const std::string& bytes) override;
    void writeAllSafely(const std::vector<std::pair<std::string, std::string>>& files) override;
    void appendDurably(const std::string& path, const std::string& bytes) override;
    void remove(const std::string& path) override;

private:
    void tell(const std::string& path) {
        if (onWrite) onWrite(path);
    }
};

class DiskWatch : public QObject {
    Q_OBJECT

public:
    // Quiet time after the last notification, and the longest a steady
    // stream of them may put the comparison off.
    static constexpr int QuietMs = 1500, LongestWaitMs = 10000;

    // `clock` (seconds since 1970, the system's when unset) tells which
    // files are too recent to trust their time alone.
    explicit DiskWatch(FileStore& files, std::function<int64_t()> clock = nullptr,
                       QObject* parent = nullptr);
    // The folders to watch; what they hold now is the starting point, not a
    // change. The same folders again keep what was seen.
    void watch(const std::vector<std::string>& folders);
    // This program is about to write or remove `path`: whatever it holds at
    // the next comparison is ours.
    void noteOwnWrite(const std::string& path);
    // Compares the folders with what was seen and emits changed() with the
    // files another program changed, sorted; nothing when there are none.
    // The timers call it; tests call it directly.
    void settle();
    // A notification came: the comparison waits for quiet.
    void notified();
    // Only files this accepts are compared (all when unset).
    void setFilter(std::function<bool(const std::string& path)> wanted) {
        wanted_ = std::move(wanted);
    }

signals:
    void changed(const std::vector<std::string>& paths);

private:
    struct Seen {
        int64_t modified = -1;
        FileStamp stamp;
    };
    // The files of the folders now: hidden ones (the safe writer's
    // temporary files) and folders left out.
    std::map<std::string, Seen> look();

    FileStore& files_;
    std::function<int64_t()> clock_;
    int64_t lastLook_ = 0;
    QFileSystemWatcher watcher_;
    QTimer quiet_, longest_;
    std::vector<std::string> folders_;
    std::map<std::string, Seen> seen_;
    std::set<std::string> own_;
    std::function<bool(const std::string&)> wanted_;
};
