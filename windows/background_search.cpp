#include "windows/background_search.h"

BackgroundSearch::BackgroundSearch(QObject* parent, int pauseMs, std::function<void()> start)
    : QObject(parent), start_(std::move(start)) {
    debounce_.setSingleShot(true);
    debounce_.setInterval(pauseMs);
    connect(&debounce_, &QTimer::timeout, this, [this] { start_(); });
}

BackgroundSearch::~BackgroundSearch() {
    cancel();
    pool_.waitForDone();
}

void BackgroundSearch::typed() {
    cancel();
    debounce_.start();
}

void BackgroundSearch::now() {
    debounce_.stop();
    start_();
}

void BackgroundSearch::cancel() {
    debounce_.stop();
    if (cancel_) cancel_->store(true);
    current_ = nullptr;
}
