// The book's records of what several PCs must agree on (ledger/sync_merge.h).
#include "ledger/book.h"
#include "ledger/budget_plan.h"
#include "ledger/cp932.h"
#include "ledger/errors.h"

#include <cerrno>
#include <cstdio>

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

int Book::mergeBudgetCopy(const std::string& copy, std::vector<std::string>& notes) {
    const BudgetFile mine = readBudgetFile(files_, ledgerDir_);
    if (mine.damaged) throw AppError(mine.error);
    const BudgetPlan theirs = parseBudgetPlan(copy);
    BudgetPlan merged = mine.plan;
    int added = 0;
    for (const auto& [name, months] : theirs.items()) {
        const auto own = mine.plan.items().find(name);
        for (const auto& [key, entry] : months) {
            const int year = key / 12, month = key % 12 + 1;
            const bool has = own != mine.plan.items().end() && own->second.count(key);
            if (!has) {
                merged.set(name, year, month, entry);
                ++added;
            } else if (own->second.at(key) != entry) {
                char when[16];
                std::snprintf(when, sizeof when, "%04d-%02d", year, month);
                notes.push_back("予算 " + cp932ToUtf8Lossy(name) + " " + when +
                                ": 競合コピーの値は取り込まず、今の値のままにしました");
            }
        }
    }
    if (!added) return 0;
    const std::string path = joinPath(ledgerDir_, BudgetFileName);
    std::string old;
    const int err = files_.tryRead(path, old);
    if (err && err != ENOENT) throw fileError(err, path);
    JournalRecord r;
    r.kind = JournalRecord::Kind::File;
    r.month = {0, 0};
    r.day = 1; // the budget file
    r.item = utf8ToCp932("予算 (同期)");
    r.oldText = old;
    r.newText = formatBudgetPlan(merged);
    ChangeGroup g(*this, ChangeSource::Synced, "同期");
    replaceFile(r, false, ChangeSource::Synced);
    g.commit();
    return added;
}
