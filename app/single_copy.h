#pragma once
// One running copy per book. The copy that shows the window holds a lock
// keyed by the book's data folder for as long as it runs, and listens on a
// local socket beside it: a second start on the same folder asks it to come
// to the front and ends. A command-line write takes the same lock, waiting
// briefly for a window or another command to finish.

#include <QObject>
#include <functional>
#include <string>

class QSocketNotifier;

class BookLock : public QObject {
public:
    // `dataDir`: the folder holding ZADUD.CFG. The lock and the socket live
    // in the user's runtime folder ($XDG_RUNTIME_DIR, else the temporary
    // folder), named after the folder's canonical path.
    explicit BookLock(const std::string& dataDir, QObject* parent = nullptr);
    ~BookLock() override;

    // Takes the lock, trying again for up to `waitMs`; false when another
    // copy still holds it.
    bool acquire(int waitMs);
    // The copy holding the lock listens; `raise` is called on this thread
    // for each later start. False when the socket cannot be made (the copy
    // runs all the same).
    bool listen(std::function<void()> raise);
    // The window closed: later starts no longer wait for an answer, only
    // for the lock, which goes when this object does.
    void stopListening();
    // A second start: asks the running copy to come to the front. False when
    // none answered within `waitMs`.
    bool handOver(int waitMs) const;
    // Whether no copy holds the lock now (this one does not either).
    bool lockFree() const;

    const std::string& socketPath() const { return socketPath_; }

private:
    void answer();

    std::string lockPath_, socketPath_;
    int lockFd_ = -1;
    int listenFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    std::function<void()> raise_;
};
