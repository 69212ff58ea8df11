#include "app/schedule_command.h"

#include "app/command_args.h"
#include "app/command_line.h"
#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/schedule.h"
#include "ledger/sync_merge.h"
#include "ledger/sync_schedule.h"
#include "ledger/text_file.h"
#include "storage/disk_store.h"
#include "storage/local_clock.h"

#include <QDate>
#include <QDir>
#include <climits>
#include <cstdio>
#include <regex>

namespace {

void printLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

bool parseMonthOption(const QString& text, int& year, int& month) {
    Period p;
    if (!parsePeriod(text.toStdString(), p) || p.month == 0) return false;
    year = p.year;
    month = p.month;
    return true;
}

int usage(const char* what) {
    std::fprintf(stderr, "--add-scheduled: %s\n", what);
    return 2;
}

} // namespace

Date todayDate() {
    Date d;
    if (parseIsoDate(qEnvironmentVariable("ZADUD_TODAY").toStdString(), d)) return d;
    const QDate now = QDate::currentDate();
    return {now.year(), now.month(), now.day()};
}

int runPostDue(const QString& throughText) {
    DiskStore disk;
    Date through = todayDate();
    if (!throughText.isEmpty() && !parseIsoDate(throughText.toStdString(), through)) {
        std::fprintf(stderr, "--through: 日付 (2026-12-31) を指定してください\n");
        return 2;
    }
    try {
        Book book(QDir::currentPath().toStdString(), disk, localStamp);
        const auto exists = [](const std::string& p) { return isDirectory(p); };
        book.readConfiguration(exists, exists);
        // What an earlier run left half-done is finished before anything is due.
        book.recover();
        if (const std::string said = book.takeJournalWarning(); !said.empty())
            std::fprintf(stderr, "%s\n", said.c_str());
        const std::string path = book.sideFile(ScheduleFileName);
        Schedule schedule = readScheduleFile(disk, path);
        // Postings another PC made count as made here.
        learnPostings(book, schedule);
        bool failed = false;
        {
            BookDoor settling(book, "定期入力");
            for (const std::string& w : settlePending(disk, schedule, path, settling)) {
                std::fprintf(stderr, "%s\n", w.c_str());
                failed = true;
            }
        }
        BookDoor door(book, "定期入力");
        std::vector<PostingChoice> choices;
        for (const Occurrence& o : dueOccurrences(schedule, through))
            for (const ScheduleEntry& e : schedule.entries)
                if (e.id == o.entry && !e.confirm && !e.ask)
                    choices.push_back({o, false, e.amount});
        for (const PostingOutcome& out : postChoices(disk, schedule, path, choices, door)) {
            if (!out.posted) {
                std::fprintf(stderr, "%s\n", out.error.c_str());
                failed = true;
                continue;
            }
            for (const ScheduleEntry& e : schedule.entries)
                if (e.id == out.choice.occurrence.entry)
                    printLine(isoDate(out.choice.occurrence.date) + "\t" +
                              cp932ToUtf8Lossy(e.item) + "\t" + (e.expense ? "支出" : "収入") +
                              "\t" + std::to_string(out.choice.amount));
        }
        std::fflush(stdout);
        return failed ? 2 : 0;
    } catch (const std::exception& e) {
        return reportFailure(e, 2);
    }
}

int runAddScheduled(const CommandArgs& p) {
    DiskStore disk;
    ScheduleEntry e;
    const bool income = p.isSet("income"), expense = p.isSet("expense");
    if (income == expense) return usage("--income か --expense のどちらかに金額を指定してください");
    if (p.value("item").isEmpty()) return usage("--item に項目名を指定してください");
    try {
        const int64_t amount = amountArgument(income ? "--income" : "--expense",
                                              p.value(income ? "income" : "expense"));
        // The kind gives the sign: an amount is never negative.
        if (amount < 0 || amount > INT32_MAX)
            return usage("金額は 0 から 2,147,483,647 までで指定してください");
        e.amount = int32_t(amount);
    } catch (const UsageError& err) {
        return reportFailure(err, 2);
    }
    e.expense = expense;
    const int rules = int(p.isSet("day")) + int(p.isSet("last-day")) + int(p.isSet("weekday"));
    if (rules != 1)
        return usage("--day N, --last-day, --weekday N:WD のどれか一つを指定してください");
    if (p.isSet("day")) {
        e.rule = ScheduleRule::Day;
        int64_t day = 0;
        if (!readAmount(p.value("day"), day) || day < 1 || day > 31)
            return usage("--day には 1 から 31 までの日を指定してください");
        e.day = int(day);
    } else if (p.isSet("last-day")) {
        e.rule = ScheduleRule::LastDay;
    } else {
        static const std::regex shape("([1-5]):(sun|mon|tue|wed|thu|fri|sat)");
        static const char* const names[] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};
        const std::string text = p.value("weekday").toLower().toStdString();
        std::smatch m;
        if (!std::regex_match(text, m, shape))
            return usage("--weekday は 2:mon の形で指定してください");
        e.rule = ScheduleRule::Weekday;
        e.nth = std::stoi(m[1]);
        for (int i = 0; i < 7; ++i)
            if (m[2] == names[i]) e.wd = i;
    }
    if (!parseMonthOption(p.value("from"), e.fromYear, e.fromMonth))
        return usage("--from に年月 (2026-12) を指定してください");
    if (p.isSet("every")) {
        int64_t every = 0;
        if (!readAmount(p.value("every"), every) || every < 1 || every > 120)
            return usage("--every には 1 から 120 までの月数を指定してください");
        e.every = int(every);
    }
    if (p.isSet("until")) {
        int y = 0, m = 0;
        if (!parseMonthOption(p.value("until"), y, m))
            return usage("--until に年月 (2027-03) を指定してください");
        e.until = {y, m, 31};
        while (!parseIsoDate(isoDate(e.until), e.until))
            --e.until.day;
    }
    if (p.isSet("shift")) {
        const QString shift = p.value("shift");
        if (shift == "before")
            e.shift = ScheduleShift::Before;
        else if (shift == "after")
            e.shift = ScheduleShift::After;
        else
            return usage("--shift は before か after です");
    }
    e.confirm = p.isSet("confirm");
    try {
        e.item = utf8ToCp932(p.value("item").toStdString());
        checkEntry(e);
        const WorkingConfig cfg = readWorkingConfig();
        if (itemSlot(cfg.ledger, e.item) == 0)
            throw AppError("項目 " + p.value("item").toStdString() + " がありません");
        Book book(QDir::currentPath().toStdString(), disk, localStamp);
        const auto exists = [](const std::string& dir) { return isDirectory(dir); };
        book.readConfiguration(exists, exists);
        const std::string path = book.sideFile(ScheduleFileName);
        Schedule schedule = readScheduleFile(disk, path); // a malformed file throws, untouched
        learnEntryIds(book, schedule);
        const Schedule before = schedule;
        e.id = schedule.nextId();
        schedule.entries.push_back(e);
        // A step of the journal, so undo takes it back and other PCs merge it.
        saveEntryEdits(book, before, schedule);
        Occurrence o;
        Date from{e.fromYear, e.fromMonth, 1};
        from = addDays(from, -31); // a shift may move the first one back
        for (int i = 0; i < 3 && nextOccurrence(schedule, e, from, o); ++i) {
            printLine(isoDate(o.date));
            from = addDays(o.date, 1);
        }
        std::fflush(stdout);
        return 0;
    } catch (const std::exception& err) {
        return reportFailure(err, 2);
    }
}
