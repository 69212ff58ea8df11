#pragma once
// The directory list: the path from the root down to the current directory,
// one entry per level, followed by that directory's subdirectories. Double
// click or Enter on an entry makes it current.

#include <QHash>
#include <QListWidget>
#include <QStringList>

class DirList : public QListWidget {
    Q_OBJECT

public:
    // Starts at the process's working directory.
    explicit DirList(QWidget* parent = nullptr);

    // Whether setDirectory would take the path: an existing directory this
    // process may enter.
    static bool canEnter(const QString& path);

    // The current directory, an absolute path without a trailing "/".
    QString directory() const { return current_; }

    // Positions the list on `path` (relative paths are taken from the working
    // directory). Nothing happens when it names the directory shown. Fails,
    // returning false and leaving the list as it was, when the path is empty
    // or a directory on it is missing or cannot be entered; otherwise the
    // list shows it and directoryChanged is signalled.
    bool setDirectory(const QString& path);

    // Positions the list on a drive (a root of fileSystemRoots()): nothing
    // happens when the current directory is on it; otherwise the list goes to
    // the directory it last showed on that drive, or the root itself.
    bool setDrive(const QString& root);

    // Roots that count as drives; tests may set their own.
    void setRoots(const QStringList& roots) { roots_ = roots; }
    QStringList roots() const { return roots_; }

    // The full path of the entry in `row`.
    QString pathAt(int row) const;

    // Re-reads the subdirectories of the current directory.
    void refresh();

signals:
    void directoryChanged(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void enter(QListWidgetItem* item);
    void fill();
    void setIcons();

    // The folder pictures load the icon theme, slow at start-up; a list not
    // shown yet goes without them.
    bool iconsOn_ = false;
    int pathRows_ = 0;

    QString current_;
    QStringList roots_;
    QHash<QString, QString> lastOnDrive_;
};
