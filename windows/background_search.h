#pragma once
// A search box's search as one types: the pause after the last key, the
// search on a thread of its own, and only the answer to the latest query
// shown (a search started before is told to stop and its answer dropped).

#include <QFutureWatcher>
#include <QObject>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <atomic>
#include <functional>
#include <memory>
#include <utility>

class BackgroundSearch : public QObject {
public:
    // `start` is called when the pause after typing ends (it calls run()).
    BackgroundSearch(QObject* parent, int pauseMs, std::function<void()> start);
    // Tells a search in flight to stop and waits for it: the searches read
    // through a store that may go once the owner has.
    ~BackgroundSearch() override;

    // The query changed: what is in flight answers a query no longer asked.
    void typed();
    // Starts at once, without the pause.
    void now();
    // Stops the pause and a search in flight; its answer is never shown.
    void cancel();
    // Typing not searched yet, or a search whose answer is not shown yet.
    bool pending() const { return debounce_.isActive() || current_ != nullptr; }
    bool waiting() const { return debounce_.isActive(); }

    // Runs `work` on the pool and hands its outcome to `done` on this
    // thread, unless another run or a cancel came first.
    template <class Outcome>
    void run(std::function<Outcome(const std::atomic<bool>* cancel)> work,
             std::function<void(const Outcome&)> done) {
        cancel();
        auto flag = std::make_shared<std::atomic<bool>>(false);
        cancel_ = flag;
        auto* watcher = new QFutureWatcher<Outcome>(this);
        current_ = watcher;
        connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, done] {
            const bool latest = watcher == current_;
            watcher->deleteLater();
            if (!latest) return;
            current_ = nullptr;
            done(watcher->result());
        });
        watcher->setFuture(
            QtConcurrent::run(&pool_, [work = std::move(work), flag] { return work(flag.get()); }));
    }

private:
    QTimer debounce_;
    std::function<void()> start_;
    std::shared_ptr<std::atomic<bool>> cancel_;
    QFutureWatcherBase* current_ = nullptr;
    QThreadPool pool_;
};
