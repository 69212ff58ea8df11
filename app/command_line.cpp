#include "app/command_line.h"

#include "app/budget_command.h"
#include "app/backup_command.h"
#include "app/csv_command.h"
#include "app/import_command.h"
#include "app/pdf_command.h"
#include "app/schedule_command.h"
#include "app/search_command.h"
#include "app/single_copy.h"

#include "ledger/book.h"
#include "ledger/config_file.h"
#include "ledger/errors.h"
#include "ledger/text_file.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <cstdio>
#include <cstring>
#include <exception>
#include <regex>

namespace {

// Options that make the program run without windows.
const char* const BatchOptions[] = {
    "--help",   "-h",           "--help-all", "--version", "-v",         "--pdf",
    "--csv",    "--search",     "--set-budget", "--budget", "--post-due", "--add-scheduled",
    "--import", "--backup",     "--restore"};

// What an earlier run left half-written (a kill, a full disk) is finished
// from the journal before a command reads the book, and said on stderr.
void finishEarlierRun() {
    try {
        Book book(QDir::currentPath().toStdString());
        book.readConfiguration(isDirectory, isDirectory);
        book.recover();
        if (const std::string said = book.takeJournalWarning(); !said.empty())
            std::fprintf(stderr, "%s\n", said.c_str());
    } catch (const std::exception&) {
        // The command itself reports a configuration it cannot read.
    }
}

} // namespace

int reportFailure(const std::exception& e, int code) {
    std::fprintf(stderr, "%s\n", e.what());
    return code;
}

bool wantsNoWindow(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        for (const char* opt : BatchOptions)
            if (std::strcmp(argv[i], opt) == 0) return true;
    return false;
}

bool parsePeriod(const std::string& text, Period& period) {
    static const std::regex shape("([0-9]{1,4})(?:-([0-9]{1,2}))?");
    std::smatch match;
    if (!std::regex_match(text, match, shape)) return false;
    period.year = std::stoi(match[1]);
    period.month = match[2].matched ? std::stoi(match[2]) : 0;
    return period.year >= 1 && (!match[2].matched || (period.month >= 1 && period.month <= 12));
}

WorkingConfig readWorkingConfig() {
    WorkingConfig cfg;
    cfg.startDir = QDir::currentPath().toStdString();
    auto exists = [](const std::string& path) { return isDirectory(path); };
    readConfig(cfg.startDir, cfg.ledger, cfg.ledgerDir, cfg.diaryDir, exists, exists);
    return cfg;
}

int runCommandLine(QCoreApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("家計簿: household account book with a diary"));
    parser.addHelpOption();
    // Qt's own version line would repeat the window title; this one names the program.
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Displays version information."));
    parser.addOption(version);
    const QCommandLineOption csv(
        QStringLiteral("csv"), QStringLiteral("Writes a year (1996) or a month (1996-12) as CSV."),
        QStringLiteral("period"));
    parser.addOption(csv);
    const QCommandLineOption pdf(QStringLiteral("pdf"),
                                 QStringLiteral("Writes a month's printout (1996-12) as PDF."),
                                 QStringLiteral("month"));
    const QCommandLineOption withDiary(QStringLiteral("with-diary"),
                                       QStringLiteral("With --pdf: adds the month's diary."));
    parser.addOptions({pdf, withDiary});
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("The file an export writes."));
    const QCommandLineOption search(
        QStringLiteral("search"),
        QStringLiteral("Prints the diary days holding all the words, newest first."),
        QStringLiteral("words"));
    parser.addOption(search);
    const QCommandLineOption setBudget(
        QStringLiteral("set-budget"),
        QStringLiteral("Sets an item's budget from a month (1996-12) on: ITEM AMOUNT."),
        QStringLiteral("month"));
    const QCommandLineOption budget(
        QStringLiteral("budget"),
        QStringLiteral("Prints each item's budget, spent and remaining for a month (1996-12)."),
        QStringLiteral("month"));
    parser.addOptions({setBudget, budget});
    const QCommandLineOption postDue(
        QStringLiteral("post-due"),
        QStringLiteral("Posts the automatic scheduled entries due up to --through (today)."));
    const QCommandLineOption through(QStringLiteral("through"),
                                     QStringLiteral("With --post-due: the last day (2026-12-31)."),
                                     QStringLiteral("date"));
    const QCommandLineOption addScheduled(QStringLiteral("add-scheduled"),
                                          QStringLiteral("Adds a scheduled entry."));
    parser.addOptions({postDue, through, addScheduled});
    const struct {
        const char* name;
        const char* help;
        const char* value;
    } entryOptions[] = {
        {"item", "With --add-scheduled: the item's name.", "name"},
        {"income", "The amount, as income.", "amount"},
        {"expense", "The amount, as expense.", "amount"},
        {"day", "On day N (a day past the month's end: its last day).", "N"},
        {"last-day", "On the month's last day.", nullptr},
        {"weekday", "On the N-th weekday (2:mon; 5 is the last).", "N:WD"},
        {"from", "The first month (2026-12).", "month"},
        {"every", "Every N months (12: yearly).", "N"},
        {"until", "The last month (2027-03).", "month"},
        {"shift", "Off Saturdays, Sundays and holidays: before or after.", "way"},
        {"confirm", "Posted on confirmation, not automatically.", nullptr},
    };
    for (const auto& o : entryOptions)
        parser.addOption(
            o.value ? QCommandLineOption(QString::fromLatin1(o.name), QString::fromLatin1(o.help),
                                         QString::fromLatin1(o.value))
                    : QCommandLineOption(QString::fromLatin1(o.name), QString::fromLatin1(o.help)));
    const QCommandLineOption import(
        QStringLiteral("import"),
        QStringLiteral("Posts a card or bank statement (CSV) with the saved rules."),
        QStringLiteral("file"));
    const QCommandLineOption profile(QStringLiteral("profile"),
                                     QStringLiteral("With --import: the saved column profile."),
                                     QStringLiteral("name"));
    const QCommandLineOption defaultItem(
        QStringLiteral("default-item"),
        QStringLiteral("With --import: the item for rows no rule places."), QStringLiteral("name"));
    const QCommandLineOption dryRun(
        QStringLiteral("dry-run"),
        QStringLiteral("With --import: shows the rows, writes nothing."));
    parser.addOptions({import, profile, defaultItem, dryRun});
    const QCommandLineOption backup(
        QStringLiteral("backup"), QStringLiteral("Writes the whole account book into a zip file."),
        QStringLiteral("zip"));
    const QCommandLineOption restore(
        QStringLiteral("restore"),
        QStringLiteral("Restores the account book from a zip file; lists what it would do."),
        QStringLiteral("zip"));
    const QCommandLineOption force(QStringLiteral("force"),
                                   QStringLiteral("With --restore: replaces files that differ."));
    parser.addOptions({backup, restore, force});
    parser.process(app);
    if (parser.isSet(version)) {
        std::printf("zadud %s\n", qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }
    // The import (which may be a dry run) and the posting do it themselves.
    if (!parser.isSet(import) && !parser.isSet(postDue)) finishEarlierRun();
    if (parser.isSet(csv)) {
        const QStringList files = parser.positionalArguments();
        return runCsvExport(parser.value(csv).toStdString(),
                            files.size() == 1 ? files.first().toStdString() : std::string());
    }
    if (parser.isSet(pdf))
        return runPdfCommand(parser.value(pdf), parser.positionalArguments(),
                             parser.isSet(withDiary));
    // A write waits briefly for a window or another command on the same
    // book, and is refused while the window stays open.
    const bool writes = parser.isSet(postDue) || parser.isSet(addScheduled) ||
                        parser.isSet(setBudget) ||
                        (parser.isSet(import) && !parser.isSet(dryRun)) || parser.isSet(restore);
    BookLock lock(QDir::currentPath().toStdString());
    if (writes && !lock.acquire(2000)) {
        std::fprintf(stderr, "この家計簿はｳｨﾝﾄﾞｳで開かれているため書き込めません。"
                             "ｳｨﾝﾄﾞｳを閉じてから実行してください\n");
        return 1;
    }
    if (parser.isSet(postDue)) return runPostDue(parser.value(through));
    if (parser.isSet(addScheduled)) return runAddScheduled(parser);
    if (parser.isSet(search)) return runSearchCommand(parser.value(search));
    if (parser.isSet(setBudget))
        return runSetBudget(parser.value(setBudget).toStdString(), parser.positionalArguments());
    if (parser.isSet(budget)) return runBudgetReport(parser.value(budget).toStdString());
    if (parser.isSet(import))
        return runImportCommand({parser.value(import).toStdString(),
                                 parser.value(profile).toStdString(),
                                 parser.value(defaultItem).toStdString(), parser.isSet(dryRun)});
    if (parser.isSet(backup)) return runBackupCommand(parser.value(backup).toStdString());
    if (parser.isSet(restore))
        return runRestoreCommand(parser.value(restore).toStdString(), parser.isSet(force));
    return -1;
}
