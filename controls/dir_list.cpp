#include "controls/dir_list.h"

#include "controls/drive_list.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyledItemDelegate>
#include <unistd.h>

namespace {

constexpr int PathRole = Qt::UserRole;
constexpr int DepthRole = Qt::UserRole + 1;
constexpr int IndentStep = 12;

// Indents each entry by its depth, so the path reads as a tree.
class IndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem indented(option);
        indented.rect.setLeft(option.rect.left() + indent(index));
        QStyledItemDelegate::paint(painter, indented, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(indent(index), 0);
    }

private:
    static int indent(const QModelIndex& index) {
        return index.data(DepthRole).toInt() * IndentStep;
    }
};

QString absoluteClean(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// Existing, a directory, and searchable by this process; stat fails already
// when a directory higher up is missing or cannot be searched.
bool enterable(const QString& path) {
    const QFileInfo info(path);
    return info.isDir() && ::access(QFile::encodeName(path).constData(), X_OK) == 0;
}

} // namespace

bool DirList::canEnter(const QString& path) {
    return !path.isEmpty() && enterable(absoluteClean(path));
}

DirList::DirList(QWidget* parent)
    : QListWidget(parent), current_(absoluteClean(QDir::currentPath())), roots_(fileSystemRoots()) {
    setItemDelegate(new IndentDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    fill();
    lastOnDrive_.insert(rootOf(current_, roots_), current_);
}

bool DirList::setDirectory(const QString& path) {
    if (path.isEmpty()) return false;
    const QString target = absoluteClean(path);
    // Compared as the file system names files: case matters here.
    if (target == current_) return true;
    if (!enterable(target)) return false;
    current_ = target;
    lastOnDrive_.insert(rootOf(current_, roots_), current_);
    fill();
    emit directoryChanged(current_);
    return true;
}

bool DirList::setDrive(const QString& root) {
    if (root.isEmpty() || !roots_.contains(root)) return false;
    if (rootOf(current_, roots_) == root) return true;
    const QString last = lastOnDrive_.value(root, root);
    if (setDirectory(last)) return true;
    return last != root && setDirectory(root);
}

QString DirList::pathAt(int row) const {
    const QListWidgetItem* entry = item(row);
    return entry ? entry->data(PathRole).toString() : QString();
}

void DirList::refresh() {
    fill();
}

void DirList::fill() {
    const QSignalBlocker block(this);
    clear();
    auto add = [this](const QString& text, const QString& path, int depth) {
        auto* entry = new QListWidgetItem(text, this);
        entry->setData(PathRole, path);
        entry->setData(DepthRole, depth);
    };

    QString path = QStringLiteral("/");
    add(path, path, 0);
    const QStringList parts = current_.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (int i = 0; i < parts.size(); ++i) {
        path = QDir::cleanPath(path + QLatin1Char('/') + parts[i]);
        add(parts[i], path, i + 1);
    }
    pathRows_ = parts.size() + 1;
    const QStringList subdirs = QDir(current_).entryList(
        QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    for (const QString& name : subdirs)
        add(name, QDir::cleanPath(current_ + QLatin1Char('/') + name), pathRows_);
    if (iconsOn_) setIcons();
    setCurrentRow(parts.size());
}

void DirList::setIcons() {
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    for (int row = 0; row < count(); ++row)
        item(row)->setIcon(row < pathRows_ ? open : closed);
}

void DirList::showEvent(QShowEvent* event) {
    if (!iconsOn_) {
        iconsOn_ = true;
        setIcons();
    }
    QListWidget::showEvent(event);
}

void DirList::enter(QListWidgetItem* entry) {
    if (!entry) return;
    if (!setDirectory(entry->data(PathRole).toString())) {
        // The directory went away or is closed to us: show what is there now.
        QApplication::beep();
        const int row = currentRow();
        fill();
        setCurrentRow(qMin(row, count() - 1));
    }
}

void DirList::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        enter(currentItem());
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void DirList::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        enter(itemAt(event->position().toPoint()));
        event->accept();
        return;
    }
    QListWidget::mouseDoubleClickEvent(event);
}
