#include "app/period_command.h"

#include "app/command_line.h"
#include "ledger/errors.h"
#include "ledger/text_file.h"
#include "storage/disk_store.h"

#include <cerrno>
#include <cstdio>

namespace {

int usage(const QString& text) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
    return 2;
}

const char* shiftWords(PeriodShift shift) {
    switch (shift) {
    case PeriodShift::Before:
        return "土日・祝日は前の平日";
    case PeriodShift::After:
        return "土日・祝日は後の平日";
    case PeriodShift::None:
        break;
    }
    return "ずらさない";
}

} // namespace

PeriodRule commandPeriodRule(const std::string& ledgerDir) {
    DiskStore disk;
    const PeriodFile file = readPeriodFile(disk, ledgerDir);
    if (file.damaged) std::fprintf(stderr, "%s\n", file.error.c_str());
    return file.rule;
}

int runSetMonthStart(const QString& day, const std::optional<QString>& shift,
                     const std::optional<QString>& naming) {
    // Full-width digits read as half-width, as amounts do.
    const QString digits = day.normalized(QString::NormalizationForm_KC);
    bool number = digits.size() <= 2;
    const int n = number ? digits.toInt(&number) : 0;
    if (!number || n < 1 || n > 31 || !digits[0].isDigit())
        return usage(
            QStringLiteral("--set-month-start: 開始日 %1 を読めません (1 から 31 の日)").arg(day));
    PeriodRule rule{n, PeriodShift::None, defaultNaming(n)};
    if (shift && !parsePeriodShift(shift->toStdString(), rule.shift))
        return usage(
            QStringLiteral("--shift: %1 を読めません (before、after か none)").arg(*shift));
    if (naming && !parsePeriodNaming(naming->toStdString(), rule.naming))
        return usage(QStringLiteral("--naming: %1 を読めません (start か end)").arg(*naming));
    try {
        const WorkingConfig cfg = readWorkingConfig();
        const std::string path = joinPath(cfg.ledgerDir, PeriodFileName);
        DiskStore disk;
        try {
            writePeriodFile(disk, cfg.ledgerDir, rule);
        } catch (const AppError& e) {
            // The writer's message alone does not say which file.
            throw AppError("月の区切りのﾌｧｲﾙ " + path + " に書き込めません: " + e.what());
        }
        std::printf("月の開始日を %d 日にしました (%s、期間の名は%s) (%s)\n", n,
                    shiftWords(rule.shift),
                    rule.naming == PeriodNaming::End ? "次の月" : "開始日の月", path.c_str());
        return 0;
    } catch (const std::exception& e) {
        return reportFailure(e, 1);
    }
}

int runPeriodCommand(const std::string& month) {
    Period p;
    if (!parsePeriod(month, p) || p.month == 0)
        return usage(QStringLiteral("年月 (1996-12) を指定してください"));
    try {
        const WorkingConfig cfg = readWorkingConfig();
        const PeriodRange r = periodRange(commandPeriodRule(cfg.ledgerDir), {p.year, p.month});
        std::printf("%s\t%s\n", isoDate(r.first).c_str(), isoDate(r.last).c_str());
        if (std::fflush(stdout) != 0) throw fileError(EIO, "");
        return 0;
    } catch (const std::exception& e) {
        return reportFailure(e, 1);
    }
}
