#pragma once
// A book on a test folder as the main window opens it: its files through
// `files`, a fixed clock for the journal's stamps, questions answered by
// `question`, the month `shown` loaded.
#include "ledger/book.h"
#include "ledger/config_file.h"
#include "storage/disk_store.h"

#include <functional>
#include <memory>
#include <string>

inline std::string fixedStamp() {
    return "2026-12-24T10:00:00";
}

inline std::unique_ptr<Book> startBook(FileStore& files, const std::string& dir, MonthKey shown,
                                       std::function<bool(const std::string&)> question) {
    auto book = std::make_unique<Book>(dir, files, fixedStamp);
    book->setConflictQuestion(std::move(question));
    book->readConfiguration(isDirectory, isDirectory);
    book->setShown(shown);
    book->loadMonths();
    return book;
}
