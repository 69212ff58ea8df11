#include "ledger/file_store.h"

#include "ledger/errors.h"

#include <cerrno>

void FileStore::writeAllSafely(const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& [path, bytes] : files)
        writeSafely(path, bytes);
}

int FileStore::makeFolder(const std::string& path) {
    return isDirectory(path) ? 0 : ENOSYS;
}

std::string FileStore::read(const std::string& path) {
    std::string bytes;
    if (int err = tryRead(path, bytes)) throw fileError(err, path);
    return bytes;
}

FileStamp FileStore::stamp(const std::string& path) {
    std::string bytes;
    const int err = tryRead(path, bytes);
    if (err == ENOENT || err == ENOTDIR) return {};
    if (err) throw fileError(err, path);
    return stampOf(bytes);
}
