#pragma once
// The book in `dir` as another PC's program opens it ("pc-b", its clock
// stopped at 10:00 on 2026-12-24), showing `shown`: what it changes goes to
// its own journal, as a sync tool would deliver it here.
#include "ledger/book.h"
#include "storage/disk_store.h"

#include <memory>
#include <string>

inline std::unique_ptr<Book> otherPcBook(const std::string& dir, MonthKey shown) {
    static DiskStore disk;
    auto book =
        std::make_unique<Book>(dir, disk, [] { return std::string("2026-12-24T10:00:00"); });
    book->setPcName("pc-b");
    auto any = [](const std::string&) { return true; };
    book->readConfiguration(any, any);
    book->setShown(shown);
    book->loadMonths();
    return book;
}
