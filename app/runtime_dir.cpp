#include "app/runtime_dir.h"

#include <QByteArray>
#include <QDir>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

bool usePrivateRuntimeDir() {
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) return true;
    const QByteArray dir =
        QFile::encodeName(QDir::tempPath()) + "/runtime-zadud-" + QByteArray::number(::getuid());
    if (::mkdir(dir.constData(), 0700) != 0 && errno != EEXIST) return false;
    // One someone else made, or left open to others, is not ours to use.
    struct stat st {};
    if (::lstat(dir.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 0077) != 0)
        return false;
    return qputenv("XDG_RUNTIME_DIR", dir);
}
