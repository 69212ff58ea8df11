#include "controls/drive_list.h"

#include "controls/dir_list.h"

#include <QDir>
#include <QStorageInfo>

QStringList fileSystemRoots() {
    QStringList volumes;
    // Only volumes a user mounts; the system's own mounts (/proc, /sys, bind
    // mounts of a container) are parts of "/" to the user.
    static const QStringList places = {"/media/", "/mnt/", "/run/media/"};
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady()) continue;
        const QString root = volume.rootPath();
        for (const QString& place : places) {
            if (root.startsWith(place)) {
                volumes << root;
                break;
            }
        }
    }
    volumes.sort();
    volumes.removeDuplicates();
    return QStringList{QStringLiteral("/")} + volumes;
}

QString rootOf(const QString& path, const QStringList& roots) {
    if (!path.startsWith(QLatin1Char('/'))) return {};
    const QString clean = QDir::cleanPath(path);
    QString best;
    for (const QString& root : roots) {
        const bool holds = root == QLatin1String("/") || clean == root ||
                           clean.startsWith(root + QLatin1Char('/'));
        if (holds && root.size() > best.size()) best = root;
    }
    return best;
}

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
    setRoots(fileSystemRoots());
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        const QString root = drive();
        if (root.isEmpty() || root == shown_) return;
        shown_ = root;
        emit driveChanged(root);
    });
}

void DriveList::setRoots(const QStringList& roots) {
    const QSignalBlocker block(this);
    roots_ = roots;
    clear();
    addItems(roots);
    const int kept = roots.indexOf(shown_);
    setCurrentIndex(kept >= 0 ? kept : 0);
    shown_ = drive();
}

QString DriveList::drive() const {
    return currentText();
}

bool DriveList::setDriveOf(const QString& path) {
    const QString root = rootOf(path, roots_);
    if (root.isEmpty()) return false;
    setCurrentIndex(roots_.indexOf(root));
    return true;
}

void DriveList::attach(DirList* list) {
    list->setRoots(roots_);
    connect(this, &DriveList::driveChanged, list,
            [list](const QString& root) { list->setDrive(root); });
    // The list may move to another volume by itself (a path set from code).
    connect(list, &DirList::directoryChanged, this,
            [this](const QString& dir) { setDriveOf(dir); });
    setDriveOf(list->directory());
}
