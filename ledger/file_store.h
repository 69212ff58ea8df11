#pragma once
// The files of the account book as the rules reach them: one small interface
// handed to the book and to every rule that reads or writes a file, so that
// the rules never touch the operating system and tests hand in a store that
// fails or records on purpose. storage/ implements it on the disk.

#include "ledger/text_file.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class FileStore {
public:
    virtual ~FileStore() = default;

    // Reads a whole file; returns the errno of a failed open (0 on success)
    // and throws the mapped file error when reading fails after the open.
    virtual int tryRead(const std::string& path, std::string& bytes) = 0;
    // Replaces `path` with `bytes` without ever leaving it half-written; on
    // failure the old file stays as it was and the mapped error is thrown.
    virtual void writeSafely(const std::string& path, const std::string& bytes) = 0;
    // Several files replaced in one go: each file is whole afterwards (its
    // old bytes or its new ones); on failure the mapped error of the first
    // file that failed is thrown.
    virtual void writeAllSafely(const std::vector<std::pair<std::string, std::string>>& files);
    // Adds `bytes` at the end of `path` (created when missing) and flushes
    // it; a failure leaves the file as it was.
    virtual void appendDurably(const std::string& path, const std::string& bytes) = 0;
    // The names in a folder ("." and ".." left out), in no set order;
    // returns the errno of a folder that cannot be read (0 on success).
    virtual int list(const std::string& folder, std::vector<std::string>& names) = 0;
    // Removes a file; a missing one is no failure.
    virtual void remove(const std::string& path) = 0;
    virtual bool isDirectory(const std::string& path) = 0;
    // One file under any spelling of its folder ("..", a linked folder).
    virtual std::string fileKey(const std::string& path) = 0;
    // The file's modification time in seconds since 1970, -1 when unknown.
    virtual int64_t modifiedTime(const std::string& path) = 0;
    // Bytes free for a user in the folder; UINT64_MAX when unknown.
    virtual uint64_t freeSpace(const std::string& folder) = 0;
    // Creates a folder whose parent exists; 0 when it is there afterwards,
    // else the errno. A store without folders of its own refuses (ENOSYS).
    virtual int makeFolder(const std::string& path);

    // The whole file, or the mapped error of a failed open.
    std::string read(const std::string& path);
    // The file as it is now: a missing file (or folder) gives a stamp that
    // does not exist; a file that cannot be read throws the mapped error.
    FileStamp stamp(const std::string& path);
};

// Hands every call on to another store; a store that changes one thing
// (fails a step, keeps backups, counts) overrides only that.
class ForwardingStore : public FileStore {
public:
    explicit ForwardingStore(FileStore& inner) : inner_(inner) {}
    int tryRead(const std::string& path, std::string& bytes) override {
        return inner_.tryRead(path, bytes);
    }
    void writeSafely(const std::string& path, const std::string& bytes) override {
        inner_.writeSafely(path, bytes);
    }
    void writeAllSafely(const std::vector<std::pair<std::string, std::string>>& files) override {
        inner_.writeAllSafely(files);
    }
    void appendDurably(const std::string& path, const std::string& bytes) override {
        inner_.appendDurably(path, bytes);
    }
    int list(const std::string& folder, std::vector<std::string>& names) override {
        return inner_.list(folder, names);
    }
    void remove(const std::string& path) override { inner_.remove(path); }
    bool isDirectory(const std::string& path) override { return inner_.isDirectory(path); }
    std::string fileKey(const std::string& path) override { return inner_.fileKey(path); }
    int64_t modifiedTime(const std::string& path) override { return inner_.modifiedTime(path); }
    uint64_t freeSpace(const std::string& folder) override { return inner_.freeSpace(folder); }
    int makeFolder(const std::string& path) override { return inner_.makeFolder(path); }

protected:
    FileStore& inner() { return inner_; }

private:
    FileStore& inner_;
};
