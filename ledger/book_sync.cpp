// The book's records of what several PCs must agree on (ledger/sync_merge.h).
#include "ledger/book.h"
#include "ledger/errors.h"

void Book::notePosting(int entry, int index, MonthKey month, int day, const std::string& item,
                       AmountField field, int32_t amount) {
    if (!group_) throw AppError("定期の記帳は変更の中でだけ記録できます");
    JournalRecord r;
    r.source = ChangeSource::Scheduled;
    r.kind = JournalRecord::Kind::Posting;
    r.month = month;
    r.day = day;
    r.item = std::to_string(entry) + ":" + std::to_string(index);
    r.field = field;
    r.oldText = item;
    r.newText = std::to_string(amount);
    record(std::move(r));
}

void Book::noteSettled(const std::string& key) {
    if (!group_) throw AppError("同期の確認は変更の中でだけ記録できます");
    JournalRecord r;
    r.source = ChangeSource::Synced;
    r.kind = JournalRecord::Kind::Settled;
    r.item = key;
    record(std::move(r));
}
