#include "app/command_line.h"

#include "app/add_line_command.h"
#include "app/amount_command.h"
#include "app/backup_command.h"
#include "app/budget_command.h"
#include "app/command_args.h"
#include "app/csv_command.h"
#include "app/find_command.h"
#include "app/import_command.h"
#include "app/pdf_command.h"
#include "app/period_command.h"
#include "app/report_command.h"
#include "app/schedule_command.h"
#include "app/search_command.h"
#include "app/single_copy.h"
#include "app/sync_command.h"

#include "ledger/book.h"
#include "ledger/config_file.h"
#include "ledger/errors.h"
#include "ledger/jp_holidays.h"
#include "ledger/text_file.h"
#include "storage/disk_store.h"
#include "storage/local_clock.h"

#include <QCoreApplication>
#include <QDir>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <regex>
#include <sys/stat.h>

namespace {

// The previous handler, which prints what a command lets through.
QtMessageHandler qtDefault = nullptr;

// A command's standard error carries its own messages only: Qt's notes
// about the session it runs in (no runtime folder, no display) are not the
// user's concern. Critical and fatal messages still go out.
void commandMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) qtDefault(type, context, text);
}

// What an earlier run left half-written (a kill, a full disk) is finished
// from the journal before a command reads the book, and said on stderr.
void finishEarlierRun() {
    DiskStore disk;
    try {
        Book book(QDir::currentPath().toStdString(), disk, localStamp);
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

Date dateArgument(const char* option, const QString& text) {
    Date date;
    if (!parseIsoDate(text.toStdString(), date))
        throw UsageError(QStringLiteral("%1: 日付 %2 を読めません (2026-12-04 と書きます)")
                             .arg(QString::fromUtf8(option), text));
    return date;
}

int itemArgument(const Book& book, const std::string& cp932, const char* option,
                 const QString& typed) {
    const int slot = itemSlot(book.ledger(), cp932);
    if (slot < 1 || slot > ShownItems)
        throw UsageError(QStringLiteral("%1: 項目「%2」は設定にありません")
                             .arg(QString::fromUtf8(option), typed));
    return slot;
}

bool wantsNoWindow(int argc, char** argv) {
    return namesCommandOption(argc, argv);
}

void quietQtMessages() {
    qtDefault = qInstallMessageHandler(commandMessages);
}

void checkOutputFolder(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return; // the working directory
    const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
    if (!isDirectory(folder))
        throw UsageError(QStringLiteral("書き出し先のフォルダ %1 がありません")
                             .arg(QString::fromStdString(folder)));
}

void checkInputFile(const std::string& path, const char* what, long long maxBytes) {
    const QString shown = QString::fromStdString(path);
    const QString kind = QString::fromUtf8(what);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw UsageError(QStringLiteral("%1 %2 が見つかりません").arg(kind, shown));
        throw AppError(std::string(fileError(errno, path).what()) + " (" + path + ")");
    }
    if (!S_ISREG(st.st_mode))
        throw UsageError(QStringLiteral("%1: %2ではありません").arg(shown, kind));
    if (maxBytes > 0 && st.st_size > maxBytes)
        throw UsageError(QStringLiteral("%1 %2 が大きすぎます (%3 MB まで)")
                             .arg(kind, shown)
                             .arg(maxBytes >> 20));
}

void reportWritten(const std::string& what, const std::string& path) {
    const QString where = QDir::current().absoluteFilePath(QString::fromStdString(path));
    std::printf("%s を %s に書き出しました\n", what.c_str(), qPrintable(QDir::cleanPath(where)));
    std::fflush(stdout);
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
    DiskStore disk;
    WorkingConfig cfg;
    cfg.startDir = QDir::currentPath().toStdString();
    auto exists = [](const std::string& path) { return isDirectory(path); };
    readConfig(disk, cfg.startDir, cfg.ledger, cfg.ledgerDir, cfg.diaryDir, exists, exists);
    return cfg;
}

int runCommandLine(QCoreApplication& app) {
    CommandArgs args;
    try {
        args = CommandArgs::parse(app.arguments().mid(1));
    } catch (const UsageError& e) {
        return reportFailure(e, 2);
    }
    const QString command = args.command();
    const QStringList files = args.positional();
    if (command == QLatin1String("help")) {
        std::fputs(commandHelp().toUtf8().constData(), stdout);
        return 0;
    }
    if (command == QLatin1String("version")) {
        std::printf("kakeibo %s\n", qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }
    // A window start has the main window tell it; the import (which may be a
    // dry run) and the posting do it themselves.
    if (command.isEmpty()) return -1;
    if (command != QLatin1String("import") && command != QLatin1String("post-due"))
        finishEarlierRun();
    // A write waits briefly for a window or another command on the same
    // book, and is refused while the window stays open.
    const bool writes =
        command == QLatin1String("post-due") || command == QLatin1String("add-scheduled") ||
        command == QLatin1String("set-budget") || command == QLatin1String("add-line") ||
        command == QLatin1String("set-amount") || command == QLatin1String("settle") ||
        (command == QLatin1String("import") && !args.isSet(QStringLiteral("dry-run"))) ||
        command == QLatin1String("restore") || command == QLatin1String("sync") ||
        command == QLatin1String("undo");
    BookLock lock(QDir::currentPath().toStdString());
    if (writes && !lock.acquire(2000)) {
        std::fprintf(stderr, "この家計簿はｳｨﾝﾄﾞｳで開かれているため書き込めません。"
                             "ｳｨﾝﾄﾞｳを閉じてから実行してください\n");
        return 1;
    }
    if (command == QLatin1String("csv"))
        return runCsvExport(args.value(command).toStdString(), files.first().toStdString());
    if (command == QLatin1String("pdf"))
        return runPdfCommand(args.value(command), files, args.isSet(QStringLiteral("with-diary")));
    if (command == QLatin1String("post-due"))
        return runPostDue(args.value(QStringLiteral("through")));
    if (command == QLatin1String("add-scheduled")) return runAddScheduled(args);
    if (command == QLatin1String("search")) return runSearchCommand(args.value(command));
    if (command == QLatin1String("find")) return runFindCommand(args.value(command));
    if (command == QLatin1String("add-line")) return runAddLine(args.value(command), files);
    if (command == QLatin1String("set-amount")) return runSetAmount(args.value(command), files);
    if (command == QLatin1String("set-budget"))
        return runSetBudget(args.value(command).toStdString(), files);
    if (command == QLatin1String("budget"))
        return runBudgetReport(args.value(command).toStdString());
    if (command == QLatin1String("import"))
        return runImportCommand({args.value(command).toStdString(),
                                 args.value(QStringLiteral("profile")).toStdString(),
                                 args.value(QStringLiteral("default-item")).toStdString(),
                                 args.isSet(QStringLiteral("dry-run"))});
    if (command == QLatin1String("backup"))
        return runBackupCommand(args.value(command).toStdString());
    if (command == QLatin1String("restore"))
        return runRestoreCommand(args.value(command).toStdString(),
                                 args.isSet(QStringLiteral("force")));
    if (command == QLatin1String("set-month-start")) {
        auto given = [&](const char* name) -> std::optional<QString> {
            const QString option = QLatin1String(name);
            if (!args.isSet(option)) return std::nullopt;
            return args.value(option);
        };
        return runSetMonthStart(args.value(command), given("shift"), given("naming"));
    }
    if (command == QLatin1String("period"))
        return runPeriodCommand(args.value(command).toStdString());
    if (command == QLatin1String("sync")) return runSyncCommand();
    if (command == QLatin1String("settle"))
        return runSettleCommand(args.value(command), files.first());
    if (command == QLatin1String("undo")) return runUndoCommand();
    if (command == QLatin1String("report"))
        return runReportCommand(args.value(command).toStdString());
    return -1;
}
