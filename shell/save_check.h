#pragma once
// Two copies of the program on one data folder: before a save replaces a
// month or diary file, the file must still be what this copy read. When
// another program has changed it (or created it, where this copy found none),
// the user chooses: overwrite, reload (dropping this copy's changes) or
// cancel.

#include "ledger/book.h"
#include "ledger/file_store.h"
#include "ledger/text_file.h"

#include <string>

class QWidget;

// The question before a save replaces a file another copy changed.
Book::Answer askReplace(QWidget* parent, const std::string& path, Book::FileChange change);

class ReadStamp {
public:
    // What this copy read from `path` (or found missing there), or has just
    // written to it.
    void note(FileStore& files, const std::string& path, const FileStamp& stamp);
    // Before replacing `path`: true to write it, false when the user chose to
    // reload. "ｷｬﾝｾﾙ" throws Cancelled. Another file than the one noted
    // (another folder, not the same folder spelled another way) was never
    // read by this copy and is expected not to exist.
    bool confirmReplace(FileStore& files, QWidget* parent, const std::string& path) const;

private:
    std::string key_;
    FileStamp stamp_;
};
