#include "ledger/sync_merge.h"

#include "ledger/book.h"

std::string safePcName(const std::string& raw) {
    std::string out;
    for (const char c : raw) {
        if (out.size() == PcNameMax) break;
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_';
        out += plain ? c : '_';
    }
    return out.empty() ? std::string("pc") : out;
}

std::vector<std::string> SyncReport::lines() const {
    std::vector<std::string> out = mended;
    for (const SyncConflict& c : conflicts)
        out.push_back("同期の確認: " + c.unit + " " + c.first.pc + " " + c.first.shown + " / " +
                      c.second.pc + " " + c.second.shown);
    out.insert(out.end(), setAside.begin(), setAside.end());
    out.insert(out.end(), notes.begin(), notes.end());
    return out;
}

SyncReport syncBook(Book&) {
    return {};
}

std::vector<SyncConflict> syncConflicts(Book&) {
    return {};
}

void settleConflict(Book&, const SyncConflict&, SyncChoice) {}
