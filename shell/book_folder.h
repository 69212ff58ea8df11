#pragma once
// One of the book's folders under the name the windows know it by: reads and
// assignments go to the book.

#include "ledger/book.h"

#include <QString>
#include <string>

class BookFolder {
public:
    using Get = const std::string& (Book::*)() const;
    using Set = void (Book::*)(std::string);
    BookFolder(Book& book, Get get, Set set) : book_(book), get_(get), set_(set) {}
    BookFolder(const BookFolder&) = delete;
    BookFolder& operator=(const QString& path) {
        (book_.*set_)(path.toStdString());
        return *this;
    }
    operator QString() const { return QString::fromStdString((book_.*get_)()); }
    std::string toStdString() const { return (book_.*get_)(); }
    bool isEmpty() const { return (book_.*get_)().empty(); }
    bool operator==(const QString& o) const { return QString(*this) == o; }
    bool operator!=(const QString& o) const { return !(*this == o); }

private:
    Book& book_;
    Get get_;
    Set set_;
};
