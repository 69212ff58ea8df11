#include "app/sync_command.h"

#include "app/command_args.h"
#include "app/command_line.h"

#include "ledger/book.h"
#include "ledger/config_file.h"
#include "ledger/errors.h"
#include "ledger/sync_merge.h"
#include "storage/disk_store.h"
#include "storage/local_clock.h"

#include <QDir>
#include <cstdio>
#include <map>

namespace {

void printLine(const std::string& line) {
    std::printf("%s\n", line.c_str());
}

} // namespace

int runSyncCommand() {
    DiskStore disk;
    try {
        Book book(QDir::currentPath().toStdString(), disk, localStamp);
        // What an earlier run left half-written was finished before (as for
        // every command).
        book.readConfiguration(isDirectory, isDirectory);
        const SyncReport report = syncBook(book);
        for (const std::string& line : report.mended)
            printLine(line);
        // Numbered as --settle reads them: the list as it stands now.
        const std::vector<SyncConflict> open =
            book.pcName().empty() || book.readOnly() ? report.conflicts : syncConflicts(book);
        for (std::size_t i = 0; i < open.size(); ++i)
            printLine("同期の確認 " + std::to_string(i + 1) + ": " + conflictText(open[i]));
        for (const auto* lines : {&report.setAside, &report.notes})
            for (const std::string& line : *lines)
                printLine(line);
        printLine("同期: 直した値 " + std::to_string(report.mended.size()) + " 件、確認の要る値 " +
                  std::to_string(open.size()) + " 件、競合コピー " +
                  std::to_string(report.setAside.size()) + " 件");
        std::fflush(stdout);
        return open.empty() ? 0 : 3;
    } catch (const std::exception& e) {
        return reportFailure(e, 1);
    }
}

int runSettleCommand(const QString& number, const QString& choiceText) {
    const std::map<QString, SyncChoice> choices = {
        {QStringLiteral("first"), SyncChoice::KeepFirst},
        {QStringLiteral("second"), SyncChoice::KeepSecond},
        {QStringLiteral("sum"), SyncChoice::Sum}};
    const auto choice = choices.find(choiceText);
    bool numeric = false;
    const int n = number.toInt(&numeric);
    try {
        if (!numeric || n < 1)
            throw UsageError(
                QStringLiteral("--settle: 番号 %1 を読めません (--sync が示した 1 からの番号)")
                    .arg(number));
        if (choice == choices.end())
            throw UsageError(QStringLiteral("--settle: %1 は first か second か sum と書きます")
                                 .arg(choiceText));
    } catch (const UsageError& e) {
        return reportFailure(e, 2);
    }
    DiskStore disk;
    try {
        Book book(QDir::currentPath().toStdString(), disk, localStamp);
        book.readConfiguration(isDirectory, isDirectory);
        const std::vector<SyncConflict> open = syncConflicts(book);
        if (static_cast<std::size_t>(n) > open.size())
            throw UsageError(QStringLiteral("--settle: 同期の確認 %1 はありません (残りは %2 件)")
                                 .arg(n)
                                 .arg(open.size()));
        const SyncConflict& c = open[static_cast<std::size_t>(n - 1)];
        try {
            settleConflict(book, c, choice->second);
        } catch (const AppError& e) {
            throw UsageError(QStringLiteral("--settle: ") + QString::fromStdString(e.what()));
        }
        printLine("同期の確認を決めました: " + conflictText(c) + " -> " + choiceText.toStdString());
        printLine("同期: 確認の要る値 " + std::to_string(syncConflicts(book).size()) + " 件");
        std::fflush(stdout);
        return 0;
    } catch (const UsageError& e) {
        return reportFailure(e, 2);
    } catch (const std::exception& e) {
        return reportFailure(e, 1);
    }
}

int runUndoCommand() {
    DiskStore disk;
    try {
        Book book(QDir::currentPath().toStdString(), disk, localStamp);
        book.readConfiguration(isDirectory, isDirectory);
        if (!book.canUndo()) {
            std::fprintf(stderr, "元に戻せる変更はありません\n");
            return 1;
        }
        const std::string what = book.undoText();
        // A value changed since the step is refused with its message: a
        // script cannot be asked.
        book.undo();
        printLine("元に戻しました: " + what);
        std::fflush(stdout);
        return 0;
    } catch (const std::exception& e) {
        return reportFailure(e, 1);
    }
}
