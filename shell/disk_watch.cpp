#include "shell/disk_watch.h"

#include "ledger/errors.h"

#include <QStringList>
#include <algorithm>
#include <ctime>

void WriteNotes::writeSafely(const std::string& path, const std::string& bytes) {
    tell(path);
    ForwardingStore::writeSafely(path, bytes);
}

void WriteNotes::writeAllSafely(const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& f : files)
        tell(f.first);
    ForwardingStore::writeAllSafely(files);
}

void WriteNotes::appendDurably(const std::string& path, const std::string& bytes) {
    tell(path);
    ForwardingStore::appendDurably(path, bytes);
}

void WriteNotes::remove(const std::string& path) {
    tell(path);
    ForwardingStore::remove(path);
}

DiskWatch::DiskWatch(FileStore& files, std::function<int64_t()> clock, QObject* parent)
    : QObject(parent), files_(files), clock_(std::move(clock)) {
    if (!clock_) clock_ = [] { return static_cast<int64_t>(std::time(nullptr)); };
    quiet_.setSingleShot(true);
    quiet_.setInterval(QuietMs);
    longest_.setSingleShot(true);
    longest_.setInterval(LongestWaitMs);
    connect(&quiet_, &QTimer::timeout, this, &DiskWatch::settle);
    connect(&longest_, &QTimer::timeout, this, &DiskWatch::settle);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &DiskWatch::notified);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &DiskWatch::notified);
}

void DiskWatch::notified() {
    quiet_.start();
    if (!longest_.isActive()) longest_.start();
}

void DiskWatch::watch(const std::vector<std::string>& folders) {
    std::vector<std::string> unique;
    for (const std::string& f : folders)
        if (!f.empty() && std::find(unique.begin(), unique.end(), f) == unique.end())
            unique.push_back(f);
    if (unique == folders_) return;
    folders_ = unique;
    const QStringList watched = watcher_.files() + watcher_.directories();
    if (!watched.isEmpty()) watcher_.removePaths(watched);
    for (const std::string& f : folders_)
        watcher_.addPath(QString::fromStdString(f));
    seen_ = look();
    own_.clear();
}

void DiskWatch::noteOwnWrite(const std::string& path) {
    own_.insert(files_.fileKey(path));
}

std::map<std::string, DiskWatch::Seen> DiskWatch::look() {
    std::map<std::string, Seen> now;
    QStringList paths;
    // A time in whole seconds cannot tell two writes of one second apart:
    // files written since shortly before the last look are read again.
    const int64_t settled = lastLook_ - 2;
    lastLook_ = clock_();
    for (const std::string& folder : folders_) {
        std::vector<std::string> names;
        if (files_.list(folder, names) != 0) continue;
        for (const std::string& name : names) {
            if (name.empty() || name[0] == '.') continue;
            const std::string path = joinPath(folder, name);
            if ((wanted_ && !wanted_(path)) || files_.isDirectory(path)) continue;
            Seen s;
            s.modified = files_.modifiedTime(path);
            // Older files whose time has not moved are not read again.
            const auto before = seen_.find(path);
            if (before != seen_.end() && before->second.modified == s.modified &&
                s.modified != -1 && s.modified < settled) {
                s.stamp = before->second.stamp;
            } else {
                try {
                    s.stamp = files_.stamp(path);
                } catch (const AppError&) {
                    continue; // being written: the next notification comes
                }
            }
            now[path] = s;
            paths << QString::fromStdString(path);
        }
    }
    // Appends do not touch the folder: the files themselves are watched, and
    // a file replaced by a rename is watched again under its name.
    const QStringList watched = watcher_.files();
    QStringList add;
    for (const QString& p : paths)
        if (!watched.contains(p)) add << p;
    if (!add.isEmpty()) watcher_.addPaths(add);
    return now;
}

void DiskWatch::settle() {
    quiet_.stop();
    longest_.stop();
    const std::map<std::string, Seen> now = look();
    std::vector<std::string> theirs;
    for (const auto& [path, s] : now) {
        const auto before = seen_.find(path);
        const bool same = before != seen_.end() && before->second.stamp == s.stamp;
        if (!same && !own_.count(files_.fileKey(path))) theirs.push_back(path);
    }
    for (const auto& [path, s] : seen_)
        if (!now.count(path) && !own_.count(files_.fileKey(path))) theirs.push_back(path);
    seen_ = now;
    own_.clear();
    std::sort(theirs.begin(), theirs.end());
    if (!theirs.empty()) emit changed(theirs);
}
