#include "ledger/period.h"

#include "ledger/errors.h"
#include "ledger/month_table.h"
#include "ledger/text_file.h"

#include <cerrno>
#include <cstdio>
#include <vector>

namespace {

constexpr const char* Header = "ZADUD-PERIOD,1";
const char* const ShiftWords[] = {"none", "before", "after"};
const char* const NamingWords[] = {"start", "end"};

// Moves a day off to the working day before or after, as the scheduled
// entries do.
Date shifted(Date d, PeriodShift shift) {
    if (shift == PeriodShift::None) return d;
    const int step = shift == PeriodShift::Before ? -1 : 1;
    while (isDayOff(d))
        d = addDays(d, step);
    return d;
}

Date shiftedStart(const PeriodRule& rule, const PeriodName& name) {
    return shifted(nominalStart(rule, name), rule.shift);
}

} // namespace

PeriodNaming defaultNaming(int startDay) {
    return startDay >= 16 ? PeriodNaming::End : PeriodNaming::Start;
}

int PeriodRange::days() const {
    return int(dayNumber(last) - dayNumber(first)) + 1;
}

PeriodName stepPeriod(const PeriodName& name, int months) {
    const int k = name.year * 12 + name.month - 1 + months;
    // Floor division: a step below year 0 stays a valid month.
    const int year = k >= 0 ? k / 12 : -((-k + 11) / 12);
    return {year, k - year * 12 + 1};
}

Date nominalStart(const PeriodRule& rule, const PeriodName& name) {
    if (rule.calendar()) return {name.year, name.month, 1};
    const PeriodName m = rule.naming == PeriodNaming::End ? stepPeriod(name, -1) : name;
    const int last = daysInMonth(m.year, m.month);
    return {m.year, m.month, rule.startDay < last ? rule.startDay : last};
}

PeriodRange periodRange(const PeriodRule& rule, const PeriodName& name) {
    if (rule.calendar())
        return {{name.year, name.month, 1},
                {name.year, name.month, daysInMonth(name.year, name.month)}};
    return {shiftedStart(rule, name), addDays(shiftedStart(rule, stepPeriod(name, 1)), -1)};
}

PeriodName periodOf(const PeriodRule& rule, const Date& day) {
    PeriodName name{day.year, day.month};
    if (rule.calendar()) return name;
    // The period whose nominal start lies in the day's month; a shift moves
    // a start by days, so the day's period is that one or a neighbour.
    if (rule.naming == PeriodNaming::End) name = stepPeriod(name, 1);
    while (day < shiftedStart(rule, name))
        name = stepPeriod(name, -1);
    while (!(day < shiftedStart(rule, stepPeriod(name, 1))))
        name = stepPeriod(name, 1);
    return name;
}

std::string periodTitle(const PeriodRule& rule, const PeriodName& name) {
    char buf[96];
    if (rule.calendar()) {
        std::snprintf(buf, sizeof buf, "%d年%d月", name.year, name.month);
        return buf;
    }
    const PeriodRange r = periodRange(rule, name);
    std::snprintf(buf, sizeof buf, "%d年%d月分 %d/%d〜%d/%d", name.year, name.month, r.first.month,
                  r.first.day, r.last.month, r.last.day);
    return buf;
}

int daysLeftInPeriod(const PeriodRange& range, const Date& today) {
    if (range.last < today) return 0;
    if (today < range.first) return range.days();
    return int(dayNumber(range.last) - dayNumber(today)) + 1;
}

bool parsePeriodShift(const std::string& word, PeriodShift& shift) {
    for (int i = 0; i < 3; ++i)
        if (word == ShiftWords[i]) {
            shift = PeriodShift(i);
            return true;
        }
    return false;
}

bool parsePeriodNaming(const std::string& word, PeriodNaming& naming) {
    for (int i = 0; i < 2; ++i)
        if (word == NamingWords[i]) {
            naming = PeriodNaming(i);
            return true;
        }
    return false;
}

std::string formatPeriodRule(const PeriodRule& rule) {
    return std::string(Header) + "\r\n" + std::to_string(rule.startDay) + "," +
           ShiftWords[int(rule.shift)] + "," + NamingWords[int(rule.naming)] + "\r\n";
}

PeriodRule parsePeriodRule(const std::string& bytes) {
    std::vector<std::string> lines = splitLines(bytes);
    // Blank lines at the end are what an editor leaves.
    while (!lines.empty() && lines.back().empty())
        lines.pop_back();
    auto bad = [](int number) { return AppError(std::to_string(number) + " 行目が読めません"); };
    if (lines.empty() || lines[0] != Header) throw bad(1);
    if (lines.size() != 2) throw bad(lines.size() < 2 ? 2 : 3);
    const std::string& line = lines[1];
    const std::size_t a = line.find(','), b = a == std::string::npos ? a : line.find(',', a + 1);
    if (b == std::string::npos) throw bad(2);
    const std::string day = line.substr(0, a);
    PeriodRule rule;
    if (day.empty() || day.size() > 2 || day[0] < '1' || day[0] > '9' ||
        (day.size() == 2 && (day[1] < '0' || day[1] > '9')))
        throw bad(2);
    rule.startDay = std::stoi(day);
    if (rule.startDay > 31 || !parsePeriodShift(line.substr(a + 1, b - a - 1), rule.shift) ||
        !parsePeriodNaming(line.substr(b + 1), rule.naming))
        throw bad(2);
    return rule;
}

PeriodFile readPeriodFile(FileStore& files, const std::string& ledgerDir) {
    PeriodFile file;
    file.path = joinPath(ledgerDir, PeriodFileName);
    std::string bytes;
    try {
        const int err = files.tryRead(file.path, bytes);
        if (err == ENOENT || err == ENOTDIR) return file;
        if (err) throw fileError(err, file.path);
        file.rule = parsePeriodRule(bytes);
    } catch (const AppError& e) {
        file.rule = PeriodRule();
        file.damaged = true;
        file.error = "月の区切りのﾌｧｲﾙ " + file.path + " を読めません: " + e.what() +
                     " (暦どおりの月で続けます)";
    }
    return file;
}

void writePeriodFile(FileStore& files, const std::string& ledgerDir, const PeriodRule& rule) {
    files.writeSafely(joinPath(ledgerDir, PeriodFileName), formatPeriodRule(rule));
}
