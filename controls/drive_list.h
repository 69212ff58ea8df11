#pragma once
// The drive list: without drive letters, the "drives" are the file-system
// root and the removable volumes mounted under /media, /mnt and /run/media.

#include <QComboBox>
#include <QStringList>

class DirList;

// "/" first, then the mounted volumes in path order.
QStringList fileSystemRoots();

// The root among `roots` that holds `path` (the longest one that is a whole
// leading part of it); empty when none does, as for an empty or relative path.
QString rootOf(const QString& path, const QStringList& roots);

class DriveList : public QComboBox {
    Q_OBJECT

public:
    explicit DriveList(QWidget* parent = nullptr);

    // Roots shown; tests may set their own.
    void setRoots(const QStringList& roots);
    QStringList roots() const { return roots_; }

    // The selected root.
    QString drive() const;

    // Selects the root that holds `path`. Nothing happens when it is already
    // selected; otherwise it is selected and driveChanged is signalled.
    // False, with the selection unchanged, when no root holds the path.
    bool setDriveOf(const QString& path);

    // Keeps `list` on the selected drive: choosing a root positions the list
    // on it (DirList::setDrive).
    void attach(DirList* list);

signals:
    void driveChanged(const QString& root);

private:
    QStringList roots_;
    QString shown_;
};
