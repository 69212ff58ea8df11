#pragma once
// One book on several PCs, as the main window shows it: a note while another
// PC has the book open (each program beats in a presence file of its own,
// see ledger/pc_presence.h); files that a sync engine delivers while the
// program runs read again through the document; what a merge of the PCs'
// records mended said once, and "同期の確認..." in the ﾌｧｲﾙ menu, offered
// by itself once for conflicts not offered before.

#include "ledger/pc_presence.h"
#include "shell/disk_watch.h"
#include "windows/dialog_feature.h"
#include "windows/sync_review.h"

#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

class QLabel;

class SyncFeature : public DialogFeature<SyncReview> {
public:
    using Clock = std::function<int64_t()>; // seconds since 1970
    // A beat a minute; another PC's counts for three, so one missed beat or
    // a slow sync does not blink the note, and a crashed PC's is gone soon.
    static constexpr int BeatMs = 60 * 1000;
    static constexpr int64_t FreshSeconds = 3 * 60;
    // Without a clock, the system's; without a name, the book's (else the
    // host's).
    explicit SyncFeature(Clock now = nullptr, std::string pcName = {});
    ~SyncFeature() override;

    void install(CommandHost& host) override;
    void attach(CommandHost& host) override;

    // Beats into the ledger folder and shows the note as the other PCs'
    // presence files say now. The timer calls it; tests call it directly.
    void beat();
    // The note alone, from the presence files (one changed on disk).
    void refreshNote();
    // Files another program changed: read again through the document, once
    // no window of ours is shown modally (what it holds is the user's).
    void filesChanged(const std::vector<std::string>& paths);

    // After a merge: what it mended or set aside is said once, and conflicts
    // not offered before open the review.
    void synced();

    QLabel* note() const { return note_; }
    DiskWatch* watch() const { return watch_.get(); }
    // Runs beat() every BeatMs once attached.
    QTimer& beatTimer() { return beatTimer_; }
    const std::string& pcName() const { return pc_; }

private:
    void watchFolders();
    void retryPending();

    CommandHost* host_ = nullptr;
    Clock now_;
    std::string pc_;
    std::unique_ptr<Heartbeat> heartbeat_;
    std::unique_ptr<DiskWatch> watch_;
    QTimer beatTimer_, pendingTimer_;
    std::vector<std::string> pending_;
    bool offerPending_ = false;
    bool busy_ = false;             // in retryPending: a merge inside it waits for its end
    QStringList toTell_;            // what a merge did, said once
    std::set<std::string> offered_; // conflicts' keys the review was opened for
    QLabel* note_ = nullptr;
};
