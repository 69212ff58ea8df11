#include "windows/sync_feature.h"

#include "ledger/backup_store.h"
#include "shell/book_document.h"
#include "shell/error_box.h"
#include "storage/pc_name.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>
#include <algorithm>
#include <ctime>

SyncFeature::SyncFeature(Clock now, std::string pcName)
    : now_(now ? std::move(now) : Clock([] { return static_cast<int64_t>(std::time(nullptr)); })),
      pc_(std::move(pcName)) {
    beatTimer_.setInterval(BeatMs);
    QObject::connect(&beatTimer_, &QTimer::timeout, [this] { beat(); });
    pendingTimer_.setInterval(1000);
    QObject::connect(&pendingTimer_, &QTimer::timeout, [this] { retryPending(); });
}

SyncFeature::~SyncFeature() {
    if (!heartbeat_) return;
    // The heartbeat's own end takes the presence file away.
    host_->document().writeNotes().onWrite = nullptr;
}

void SyncFeature::install(CommandHost& host) {
    host_ = &host;
    onTriggered(enables(host.addMenuEntry(MenuPlace::FileData, QStringLiteral("同期の確認..."),
                                          QStringLiteral("syncReview"))),
                [this] {
                    if (window()) window()->showConflicts();
                });
}

void SyncFeature::attach(CommandHost& host) {
    host_ = &host;
    BookDocument& doc = host.document();
    if (pc_.empty()) pc_ = doc.book().pcName();
    if (pc_.empty()) pc_ = localPcName();
    setWindow(std::make_unique<SyncReview>(doc, host.mainWindow()));
    QObject::connect(&doc, &BookDocument::synced, window(), [this] { synced(); });
    heartbeat_ = std::make_unique<Heartbeat>(doc.files(), pc_, now_);
    watch_ = std::make_unique<DiskWatch>(doc.files(), now_);
    watch_->setFilter([&book = doc.book()](const std::string& path) {
        BookFile file;
        return classifyBookFile({book.startDir(), book.ledgerDir(), book.diaryDir()}, path, file) ||
               isPresenceFileName(path.substr(path.find_last_of('/') + 1));
    });
    doc.writeNotes().onWrite = [w = watch_.get()](const std::string& path) {
        w->noteOwnWrite(path);
    };
    QObject::connect(watch_.get(), &DiskWatch::changed, watch_.get(),
                     [this](const std::vector<std::string>& paths) { filesChanged(paths); });
    // Another ledger or diary folder: watched from what it holds now.
    QObject::connect(&doc, &BookDocument::configurationChanged, watch_.get(), [this] {
        watchFolders();
        beat();
    });
    watchFolders();
    beat();
    beatTimer_.start();
}

void SyncFeature::watchFolders() {
    const Book& book = host_->document().book();
    watch_->watch({book.startDir(), book.ledgerDir(), book.diaryDir()});
}

void SyncFeature::beat() {
    if (!heartbeat_) return;
    const std::string dir = host_->document().book().ledgerDir();
    if (!dir.empty()) heartbeat_->beat(dir);
    refreshNote();
}

void SyncFeature::refreshNote() {
    auto* window = qobject_cast<QMainWindow*>(host_ ? host_->mainWindow() : nullptr);
    if (!window) return;
    const BookDocument& doc = host_->document();
    const std::vector<std::string> others =
        otherPcsOpen(doc.files(), doc.book().ledgerDir(), pc_, now_(), FreshSeconds);
    if (!note_) {
        if (others.empty()) return;
        note_ = new QLabel(window);
        note_->setObjectName(QStringLiteral("syncNote"));
        window->statusBar()->addWidget(note_);
    }
    QStringList names;
    for (const std::string& pc : others)
        names << QString::fromStdString(pc);
    note_->setText(names.isEmpty() ? QString()
                                   : QStringLiteral("ほかの PC (%1) でもこの家計簿が開かれています")
                                         .arg(names.join(QStringLiteral("、"))));
    // The bar takes room from the calendar only while it says something.
    window->statusBar()->setVisible(!names.isEmpty());
}

void SyncFeature::filesChanged(const std::vector<std::string>& paths) {
    bool presence = false;
    for (const std::string& p : paths) {
        const std::string name = p.substr(p.find_last_of('/') + 1);
        if (isPresenceFileName(name))
            presence = true;
        else if (std::find(pending_.begin(), pending_.end(), p) == pending_.end())
            pending_.push_back(p);
    }
    if (presence) refreshNote();
    retryPending();
}

void SyncFeature::synced() {
    const SyncReport& report = host_->document().lastSync();
    for (const auto* lines : {&report.mended, &report.setAside, &report.notes})
        for (const std::string& line : *lines)
            toTell_ << QString::fromStdString(line);
    for (const SyncConflict& c : report.conflicts)
        if (offered_.insert(c.key).second) offerPending_ = true;
    // Said after the open or reload that merged has finished drawing.
    QTimer::singleShot(0, window(), [this] { retryPending(); });
}

void SyncFeature::retryPending() {
    if (busy_) return;
    if (pending_.empty() && !offerPending_ && toTell_.isEmpty()) {
        pendingTimer_.stop();
        return;
    }
    if (QApplication::activeModalWidget()) {
        if (!pendingTimer_.isActive()) pendingTimer_.start();
        return;
    }
    pendingTimer_.stop();
    busy_ = true;
    if (!pending_.empty()) {
        const std::vector<std::string> paths = std::move(pending_);
        pending_.clear();
        // The reload merges again: what it finds is said below.
        runGuarded([this, &paths] { host_->document().filesChangedOnDisk(paths); });
    }
    if (!toTell_.isEmpty() && !QApplication::activeModalWidget()) {
        QMessageBox box(QMessageBox::Information, ErrorBox::AppTitle,
                        QStringLiteral("ほかの PC の記録と合わせました。\n\n") + toTell_.join('\n'),
                        QMessageBox::Ok, host_->mainWindow());
        box.setObjectName(QStringLiteral("SyncReport"));
        toTell_.clear();
        Modal::exec(&box);
    }
    if (offerPending_ && window() && !QApplication::activeModalWidget()) {
        offerPending_ = false;
        window()->showConflicts();
    }
    busy_ = false;
}
