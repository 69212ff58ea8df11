#include "ledger/statement.h"

#include "ledger/cp932.h"
#include "ledger/errors.h"
#include "ledger/month_table.h"
#include "ledger/text_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <unordered_map>

namespace {

bool validUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        const int len = (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (len == 0 || b == 0xC0 || b == 0xC1 || i + len > s.size()) return false;
        for (int k = 1; k < len; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += len;
    }
    return true;
}

// U+FF61..U+FF9F as full-width characters.
constexpr char16_t HalfKana[] = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9,
    0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB,
    0x30AD, 0x30AF, 0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1,
    0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5,
    0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9,
    0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x309B, 0x309C};

bool voicable(char32_t c) {
    return (c >= 0x30AB && c <= 0x30C2 && (c - 0x30AB) % 2 == 0) ||
           (c >= 0x30C4 && c <= 0x30C8 && (c - 0x30C4) % 2 == 0) ||
           (c >= 0x30CF && c <= 0x30DB && (c - 0x30CF) % 3 == 0) || c == 0x30A6;
}

std::string trimmed(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// Side-file fields: text CP932 cannot hold exactly, "%" and control
// characters are written as %HH per UTF-8 byte.
std::string escapeField(const std::string& utf8) {
    bool plain = true;
    for (unsigned char b : utf8)
        if (b == '%' || b < 0x20 || b == 0x7F) plain = false;
    if (plain) {
        try {
            return utf8ToCp932Exact(utf8);
        } catch (const AppError&) {
        }
    }
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t start = i;
        const char32_t c = nextCodePoint(utf8, i);
        const std::string one = utf8.substr(start, i - start);
        if (c != '%' && c >= 0x20 && c != 0x7F) {
            try {
                out += utf8ToCp932Exact(one);
                continue;
            } catch (const AppError&) {
            }
        }
        for (unsigned char b : one) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", b);
            out += hex;
        }
    }
    return out;
}

std::string unescapeField(std::string_view text) {
    auto hex = [](char h) {
        return h >= '0' && h <= '9' ? h - '0' : h >= 'A' && h <= 'F' ? h - 'A' + 10 : -1;
    };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 &&
            hex(text[i + 2]) >= 0) {
            out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::string> splitTabs(std::string_view line) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        parts.emplace_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos) return parts;
        start = tab + 1;
    }
}

// Side files as UTF-8 lines; a byte that is not CP932 keeps its escape, so
// such a line matches nothing but is written back unchanged.
std::vector<std::string> sideFileLines(const std::string& cp932Bytes) {
    std::vector<std::string> lines;
    forEachLine(cp932Bytes, [&](std::string_view line) {
        if (!line.empty()) lines.emplace_back(line);
    });
    return lines;
}

std::string crlf(const std::vector<std::string>& cp932Lines) {
    std::string out;
    for (const std::string& l : cp932Lines)
        out += l + "\r\n";
    return out;
}

std::string joinTabs(const std::vector<std::string>& fields) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i)
        out += (i ? "\t" : "") + fields[i];
    return out;
}

// Column keywords, most specific first; a header field is compared after
// normalisation, exactly first, then by containing the keyword.
const char* const DateNames[] = {"利用日", "ご利用日",   "日付",         "取引日", "お取引日",
                                 "年月日", "利用年月日", "ご利用年月日", "DATE"};
const char* const DescriptionNames[] = {"摘要",       "ご利用店名", "利用店名", "内容", "取引内容",
                                        "お取引内容", "ご利用先",   "利用先",   "店名", "明細"};
const char* const AmountNames[] = {"お支払金額", "支払金額", "ご利用金額",
                                   "利用金額",   "金額",     "AMOUNT"};
const char* const IncomeNames[] = {"入金",     "お預り金額", "お預かり金額",
                                   "預入金額", "入金額",     "入金金額"};
const char* const ExpenseNames[] = {"出金",     "お引出金額", "お引出し金額",
                                    "引出金額", "出金額",     "出金金額"};

template <std::size_t N> int keywordRank(const std::string& field, const char* const (&names)[N]) {
    for (std::size_t k = 0; k < N; ++k)
        if (field == normaliseText(names[k])) return static_cast<int>(k);
    for (std::size_t k = 0; k < N; ++k)
        if (field.find(normaliseText(names[k])) != std::string::npos)
            return static_cast<int>(N + k);
    return -1;
}

template <std::size_t N>
int bestColumn(const std::vector<std::string>& fields, const char* const (&names)[N],
               const std::set<int>& taken) {
    int best = -1, bestRank = 0;
    for (int i = 0; i < static_cast<int>(fields.size()); ++i) {
        if (taken.count(i)) continue;
        const int rank = keywordRank(fields[i], names);
        if (rank >= 0 && (best < 0 || rank < bestRank)) best = i, bestRank = rank;
    }
    return best;
}

ColumnChoice columnsFromHeader(const std::vector<std::string>& header) {
    std::vector<std::string> fields;
    for (const std::string& f : header)
        fields.push_back(normaliseText(f));
    ColumnChoice c;
    std::set<int> taken;
    auto pick = [&](int& slot, int col) {
        slot = col;
        if (col >= 0) taken.insert(col);
    };
    pick(c.income, bestColumn(fields, IncomeNames, taken));
    pick(c.expense, bestColumn(fields, ExpenseNames, taken));
    if (c.income < 0 || c.expense < 0) {
        for (int col : {c.income, c.expense})
            taken.erase(col);
        c.income = c.expense = -1;
        pick(c.amount, bestColumn(fields, AmountNames, taken));
    }
    pick(c.date, bestColumn(fields, DateNames, taken));
    pick(c.description, bestColumn(fields, DescriptionNames, taken));
    return c;
}

bool blank(const CsvRecord& r) {
    return std::all_of(r.fields.begin(), r.fields.end(),
                       [](const std::string& f) { return trimmed(f).empty(); });
}

// A table without a header line: the first record with a date field and a
// number field gives the columns (the first date, the last number, the first
// other text as the description).
ColumnChoice columnsFromData(const std::vector<CsvRecord>& records) {
    for (std::size_t n = 0; n < records.size(); ++n) {
        const CsvRecord& r = records[n];
        ColumnChoice c;
        // Lines above the first row are a header line the keywords missed,
        // or account details: none of them is a row.
        c.headerRecord = static_cast<int>(n) - 1;
        for (int i = 0; i < static_cast<int>(r.fields.size()); ++i) {
            int y, m, d;
            int64_t v;
            if (c.date < 0 && parseStatementDate(r.fields[i], y, m, d))
                c.date = i;
            else if (parseStatementAmount(r.fields[i], v) == AmountParse::Ok)
                c.amount = i;
            else if (c.description < 0 && !trimmed(r.fields[i]).empty())
                c.description = i;
        }
        if (c.usable()) return c;
    }
    return {};
}

// One signed amount column: a card statement lists purchases as positive
// amounts (a refund now and then negative); a bank account's withdrawals are
// negative and its deposits positive. More negative rows than positive ones
// is an account's list, whose positive amounts are income.
bool mostlyNegative(const std::vector<CsvRecord>& records, const ColumnChoice& c) {
    if (c.amount < 0 || c.date < 0) return false;
    int negative = 0, positive = 0;
    for (std::size_t r = std::size_t(c.headerRecord + 1); r < records.size(); ++r) {
        const std::vector<std::string>& f = records[r].fields;
        if (std::size_t(std::max(c.amount, c.date)) >= f.size()) continue;
        int y, m, d;
        int64_t v = 0;
        if (!parseStatementDate(f[c.date], y, m, d) ||
            parseStatementAmount(f[c.amount], v) != AmountParse::Ok || v == 0)
            continue;
        ++(v < 0 ? negative : positive);
    }
    return negative > positive;
}

bool parseDigits(std::string_view s, std::size_t& i, int maxDigits, int& value) {
    const std::size_t start = i;
    value = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i - start < std::size_t(maxDigits))
        value = value * 10 + (s[i++] - '0');
    return i > start;
}

const char* problemOf(AmountParse p) {
    switch (p) {
    case AmountParse::Empty:
        return "金額がありません";
    case AmountParse::NotNumber:
        return "金額が数値ではありません";
    case AmountParse::TooLarge:
        return "金額が整数の範囲を超えています";
    case AmountParse::Ok:
        break;
    }
    return "";
}

} // namespace

StatementEncoding detectStatementEncoding(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return StatementEncoding::Utf8Bom;
    return validUtf8(bytes) ? StatementEncoding::Utf8 : StatementEncoding::Cp932;
}

std::vector<CsvRecord> parseCsvRecords(std::string_view s) {
    std::vector<CsvRecord> records;
    CsvRecord rec;
    std::string field;
    int line = 1;
    bool inQuotes = false, any = false;
    rec.line = 1;
    auto endField = [&] {
        rec.fields.push_back(std::move(field));
        field.clear();
    };
    auto endRecord = [&] {
        endField();
        records.push_back(std::move(rec));
        rec = CsvRecord();
        any = false;
    };
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char ch = s[i];
        if (inQuotes) {
            if (ch == '"') {
                if (i + 1 < s.size() && s[i + 1] == '"')
                    field += '"', ++i;
                else
                    inQuotes = false;
            } else {
                if (ch == '\n' || (ch == '\r' && !(i + 1 < s.size() && s[i + 1] == '\n'))) ++line;
                field += ch;
            }
            continue;
        }
        if (ch == '\r' || ch == '\n') {
            if (ch == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
            endRecord();
            rec.line = ++line;
            continue;
        }
        any = true;
        if (ch == ',')
            endField();
        else if (ch == '"' && trimmed(field).empty())
            field.clear(), inQuotes = true;
        else if (ch == '\x1A' && i + 1 == s.size())
            any = false;
        else
            field += ch;
    }
    if (any || !field.empty() || !rec.fields.empty()) endRecord();
    return records;
}

std::string normaliseText(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        char32_t c = nextCodePoint(s, i);
        if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFEE0;
        if (c == 0x3000 || c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        if (c >= 'a' && c <= 'z') c -= 32;
        if (c >= 0xFF61 && c <= 0xFF9F) {
            c = HalfKana[c - 0xFF61];
            if (i < s.size()) {
                std::size_t j = i;
                const char32_t mark = nextCodePoint(s, j);
                if (mark == 0xFF9E && voicable(c)) {
                    c = c == 0x30A6 ? 0x30F4 : c + 1;
                    i = j;
                } else if (mark == 0xFF9F && c >= 0x30CF && c <= 0x30DB && voicable(c)) {
                    c += 2;
                    i = j;
                }
            }
        }
        appendUtf8(out, c);
    }
    return out;
}

bool ColumnChoice::operator==(const ColumnChoice& o) const {
    return headerRecord == o.headerRecord && date == o.date && description == o.description &&
           amount == o.amount && income == o.income && expense == o.expense &&
           positiveIsIncome == o.positiveIsIncome;
}

std::string statementShape(const Statement& s, int headerRecord) {
    if (headerRecord < 0 || headerRecord >= static_cast<int>(s.records.size())) {
        std::size_t widest = 0;
        for (const CsvRecord& r : s.records)
            widest = std::max(widest, r.fields.size());
        return "#" + std::to_string(widest);
    }
    std::string shape;
    for (const std::string& f : s.records[headerRecord].fields)
        shape += (shape.empty() ? "" : ",") + normaliseText(f);
    return shape;
}

Statement readStatement(std::string_view bytes) {
    Statement s;
    s.encoding = detectStatementEncoding(bytes);
    if (s.encoding == StatementEncoding::Cp932) {
        s.records = parseCsvRecords(cp932ToUtf8Preserving(bytes));
    } else {
        s.records =
            parseCsvRecords(s.encoding == StatementEncoding::Utf8Bom ? bytes.substr(3) : bytes);
    }
    while (!s.records.empty() && blank(s.records.back()))
        s.records.pop_back();
    if (s.records.empty()) throw AppError("明細の表がありません");
    // The header line is looked for among the first lines only: a statement
    // keeps its account details above the table, never pages of them.
    const int look = std::min<int>(static_cast<int>(s.records.size()), 40);
    for (int r = 0; r < look; ++r) {
        ColumnChoice c = columnsFromHeader(s.records[r].fields);
        if (c.usable()) {
            c.headerRecord = r;
            s.columns = c;
            break;
        }
    }
    if (!s.columns.usable()) s.columns = columnsFromData(s.records);
    s.columns.positiveIsIncome = mostlyNegative(s.records, s.columns);
    s.shape = statementShape(s, s.columns.headerRecord);
    return s;
}

bool parseStatementDate(std::string_view text, int& year, int& month, int& day) {
    const std::string s = normaliseText(text);
    std::size_t i = 0;
    auto next = [&](std::initializer_list<const char*> seps) {
        for (const char* p : seps) {
            const std::size_t n = std::strlen(p);
            if (s.compare(i, n, p) == 0) {
                i += n;
                return true;
            }
        }
        return false;
    };
    // An era's year ("R8.12.4", "令和8年12月4日", "令和元年"): the year
    // before its first, and the era's own.
    static const struct {
        const char* letter;
        const char* name;
        int before;
    } eras[] = {{"R", "令和", 2018}, {"H", "平成", 1988}, {"S", "昭和", 1925}};
    int eraBefore = 0;
    for (const auto& era : eras)
        if (next({era.letter, era.name})) eraBefore = era.before;
    bool kanji = false, compact = false;
    if (eraBefore) {
        if (next({"元"}))
            year = 1;
        else if (!parseDigits(s, i, 2, year))
            return false;
        year += eraBefore;
        kanji = next({"年"});
        if (!kanji && !next({"/", "-", "."})) return false;
    } else {
        const std::size_t start = i;
        if (!parseDigits(s, i, 8, year)) return false;
        compact = i - start == 8;
        if (compact) { // 20261208
            month = year / 100 % 100;
            day = year % 100;
            year /= 10000;
        } else {
            // "26/12/03": a card statement's year of this century.
            if (i - start == 2)
                year += 2000;
            else if (i - start != 4)
                return false;
            kanji = next({"年"});
            if (!kanji && !next({"/", "-", "."})) return false;
        }
    }
    if (!compact) {
        if (!parseDigits(s, i, 2, month) ||
            !next(kanji ? std::initializer_list<const char*>{"月"}
                        : std::initializer_list<const char*>{"/", "-", "."}) ||
            !parseDigits(s, i, 2, day) || (kanji && !next({"日"})))
            return false;
    }
    // Blanks are gone after normalising, so a time of day follows the day
    // directly ("2026/12/0810:15").
    if (i < s.size() && s.find(':', i) == std::string::npos) return false;
    return year >= 1 && month >= 1 && month <= 12 && day >= 1 && day <= daysInMonth(year, month);
}

AmountParse parseStatementAmount(std::string_view text, int64_t& value) {
    std::string s = normaliseText(text);
    bool negative = false;
    auto dropPrefix = [&](const char* p) {
        const std::size_t n = std::strlen(p);
        if (s.compare(0, n, p) == 0) {
            s.erase(0, n);
            return true;
        }
        return false;
    };
    for (bool again = true; again;) {
        again = false;
        for (const char* minus : {"-", "−", "▲", "△"})
            if (dropPrefix(minus)) negative = !negative, again = true;
        for (const char* yen : {"¥", "￥", "\\", "+"})
            if (dropPrefix(yen)) again = true;
    }
    if (s.size() >= 3 && s.compare(s.size() - 3, 3, "円") == 0) s.erase(s.size() - 3);
    if (s.empty())
        return text.find_first_not_of(" \t") == std::string_view::npos ? AmountParse::Empty
                                                                       : AmountParse::NotNumber;
    const std::size_t point = s.find('.');
    if (point != std::string::npos) {
        if (s.find_first_not_of('0', point + 1) != std::string::npos) return AmountParse::NotNumber;
        s.erase(point);
    }
    int64_t v = 0;
    bool digits = false;
    for (char ch : s) {
        if (ch == ',') continue;
        if (ch < '0' || ch > '9') return AmountParse::NotNumber;
        digits = true;
        v = v * 10 + (ch - '0');
        if (v > std::numeric_limits<int32_t>::max()) return AmountParse::TooLarge;
    }
    if (!digits) return AmountParse::NotNumber;
    value = negative ? -v : v;
    return AmountParse::Ok;
}

std::string StatementRow::fingerprint() const {
    char head[48];
    std::snprintf(head, sizeof head, "%04d-%02d-%02d\t%s%d\t%d\t", year, month, day,
                  income ? "" : "-", amount, occurrence);
    return head + normalised;
}

std::vector<StatementRow> statementRows(const Statement& s, const ColumnChoice& c) {
    std::vector<StatementRow> rows;
    std::unordered_map<std::string, int> seen;
    auto field = [](const CsvRecord& r, int col) -> std::string {
        return col >= 0 && col < static_cast<int>(r.fields.size()) ? trimmed(r.fields[col]) : "";
    };
    for (std::size_t r = c.headerRecord + 1; r < s.records.size(); ++r) {
        const CsvRecord& rec = s.records[r];
        if (blank(rec)) continue;
        StatementRow row;
        row.line = rec.line;
        row.description = field(rec, c.description);
        row.normalised = normaliseText(row.description);
        const std::string date = field(rec, c.date);
        int64_t value = 0;
        if (date.empty()) {
            row.problem = "日付がありません";
        } else if (!parseStatementDate(date, row.year, row.month, row.day)) {
            row.problem = "日付ではありません: " + date;
            row.year = row.month = row.day = 0;
        } else if (c.amount >= 0) {
            const AmountParse p = parseStatementAmount(field(rec, c.amount), value);
            if (p != AmountParse::Ok) row.problem = problemOf(p);
            row.income = (value > 0) == c.positiveIsIncome;
        } else {
            int64_t in = 0, out = 0;
            const AmountParse pi = parseStatementAmount(field(rec, c.income), in);
            const AmountParse po = parseStatementAmount(field(rec, c.expense), out);
            if (pi != AmountParse::Ok && pi != AmountParse::Empty)
                row.problem = problemOf(pi);
            else if (po != AmountParse::Ok && po != AmountParse::Empty)
                row.problem = problemOf(po);
            else if (pi == AmountParse::Empty && po == AmountParse::Empty)
                row.problem = problemOf(pi);
            else if (in != 0 && out != 0)
                row.problem = "入金と出金の両方があります";
            // A negative deposit is a withdrawal and the other way round.
            row.income = in != 0 ? in > 0 : out < 0;
            value = in != 0 ? in : -out;
        }
        if (row.problem.empty() && value == 0) row.problem = "金額が 0 です";
        if (!row.problem.empty()) {
            row.state = RowState::Problem;
        } else {
            row.amount = static_cast<int32_t>(value < 0 ? -value : value);
            row.occurrence = 1;
            row.occurrence = ++seen[row.fingerprint()];
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

bool ImportLog::imported(const std::string& fingerprint) const {
    const auto found = fingerprints.find(fingerprint);
    return found != fingerprints.end() && !undone.count(found->second);
}

ImportLog parseImportLog(const std::string& cp932Bytes) {
    ImportLog log;
    log.bytes = cp932Bytes;
    const std::string utf8 = cp932ToUtf8Preserving(cp932Bytes);
    forEachLine(utf8, [&](std::string_view line) {
        if (line.empty()) return;
        std::vector<std::string> f = splitTabs(line);
        StatementRow row;
        uint64_t step = 0;
        if ((f.size() != 4 && f.size() != 5) ||
            !parseStatementDate(f[0], row.year, row.month, row.day) ||
            (f.size() == 5 &&
             (f[4].empty() || f[4].find_first_not_of("0123456789") != std::string::npos ||
              f[4].size() > 18))) {
            ++log.damaged;
            return;
        }
        if (f.size() == 5) step = std::stoull(f[4]);
        // A later line of the same row is a later import of it.
        log.fingerprints[f[0] + "\t" + f[1] + "\t" + f[2] + "\t" + unescapeField(f[3])] = step;
    });
    return log;
}

std::string appendToImportLog(ImportLog& log, const std::vector<const StatementRow*>& rows,
                              uint64_t step) {
    if (!log.bytes.empty() && log.bytes.back() != '\n') log.bytes += "\r\n";
    for (const StatementRow* row : rows) {
        const std::string key = row->fingerprint();
        if (log.imported(key)) continue;
        log.fingerprints[key] = step;
        const std::size_t cut = key.size() - row->normalised.size();
        log.bytes += key.substr(0, cut) + escapeField(row->normalised) + "\t" +
                     std::to_string(step) + "\r\n";
    }
    return log.bytes;
}

namespace {

// The third field of a rule that knows whether the description is a payoff.
const std::string& transferField(bool transfer) {
    static const std::string yes = utf8ToCp932("振替"), no = utf8ToCp932("振替なし");
    return transfer ? yes : no;
}

// The rule for the whole description, else the longest rule that is a part
// of it; a rule of one letter would place too much.
template <class Map>
typename Map::const_iterator ruleFor(const Map& rules, const std::string& normalised) {
    const auto whole = rules.find(normalised);
    if (whole != rules.end()) return whole;
    auto best = rules.end();
    std::size_t length = 0;
    for (auto it = rules.begin(); it != rules.end(); ++it)
        if (it->first.size() >= 4 && it->first.size() > length &&
            normalised.find(it->first) != std::string::npos) {
            best = it;
            length = it->first.size();
        }
    return best;
}

} // namespace

ImportRules parseImportRules(const std::string& cp932Bytes) {
    ImportRules rules;
    for (const std::string& line : sideFileLines(cp932Bytes)) {
        const std::vector<std::string> f = splitTabs(line);
        // description, item, and optionally 振替 / 振替なし (the item may
        // then be empty: the description is known as a payoff only).
        const bool withTransfer =
            f.size() == 3 && (f[2] == transferField(true) || f[2] == transferField(false));
        if (!(f.size() == 2 || withTransfer) || f[0].empty() || (f[1].empty() && !withTransfer)) {
            rules.otherLines.push_back(line);
            ++rules.damaged;
            continue;
        }
        const std::string description = unescapeField(cp932ToUtf8Preserving(f[0]));
        if (!f[1].empty()) rules.items[description] = f[1];
        if (withTransfer) rules.transfers[description] = f[2] == transferField(true);
    }
    return rules;
}

std::string formatImportRules(const ImportRules& rules) {
    std::vector<std::string> lines;
    std::set<std::string> described;
    for (const auto& [description, item] : rules.items)
        described.insert(description);
    for (const auto& [description, transfer] : rules.transfers)
        described.insert(description);
    for (const std::string& description : described) {
        const auto item = rules.items.find(description);
        std::string line =
            escapeField(description) + "\t" + (item == rules.items.end() ? "" : item->second);
        const auto transfer = rules.transfers.find(description);
        if (transfer != rules.transfers.end()) line += "\t" + transferField(transfer->second);
        lines.push_back(std::move(line));
    }
    lines.insert(lines.end(), rules.otherLines.begin(), rules.otherLines.end());
    return crlf(lines);
}

const ImportProfile* ImportProfiles::byName(const std::string& name) const {
    for (const ImportProfile& p : profiles)
        if (p.name == name) return &p;
    return nullptr;
}

const ImportProfile* ImportProfiles::byShape(const std::string& shape) const {
    for (auto p = profiles.rbegin(); p != profiles.rend(); ++p)
        if (p->shape == shape) return &*p;
    return nullptr;
}

void ImportProfiles::save(const ImportProfile& p) {
    for (ImportProfile& old : profiles)
        if (old.name == p.name) {
            old = p;
            return;
        }
    profiles.push_back(p);
}

ImportProfiles parseImportProfiles(const std::string& cp932Bytes) {
    ImportProfiles all;
    for (const std::string& line : sideFileLines(cp932Bytes)) {
        const std::vector<std::string> f = splitTabs(cp932ToUtf8Preserving(line));
        ImportProfile p;
        bool ok = f.size() == 8 && !f[0].empty() && (f[7] == "E" || f[7] == "I");
        int* cols[] = {&p.columns.date, &p.columns.description, &p.columns.amount,
                       &p.columns.income, &p.columns.expense};
        for (int k = 0; ok && k < 5; ++k) {
            try {
                *cols[k] = parseInt32(f[2 + k]) - 1;
                ok = *cols[k] >= -1 && *cols[k] < 1000;
            } catch (const AppError&) {
                ok = false;
            }
        }
        if (ok) {
            p.name = unescapeField(f[0]);
            p.shape = unescapeField(f[1]);
            p.columns.positiveIsIncome = f[7] == "I";
            ok = p.columns.usable();
        }
        if (!ok) {
            all.otherLines.push_back(line);
            ++all.damaged;
            continue;
        }
        all.profiles.push_back(p);
    }
    return all;
}

std::string formatImportProfiles(const ImportProfiles& all) {
    std::vector<std::string> lines;
    for (const ImportProfile& p : all.profiles) {
        const ColumnChoice& c = p.columns;
        lines.push_back(joinTabs({escapeField(p.name), escapeField(p.shape),
                                  std::to_string(c.date + 1), std::to_string(c.description + 1),
                                  std::to_string(c.amount + 1), std::to_string(c.income + 1),
                                  std::to_string(c.expense + 1), c.positiveIsIncome ? "I" : "E"}));
    }
    lines.insert(lines.end(), all.otherLines.begin(), all.otherLines.end());
    return crlf(lines);
}

void matchRows(std::vector<StatementRow>& rows, const ImportLog& log, const ImportRules& rules,
               const MonthLedger& names, const std::string& defaultItem) {
    for (StatementRow& row : rows) {
        if (row.state == RowState::Problem) {
            row.ticked = false;
            continue;
        }
        row.state = log.imported(row.fingerprint()) ? RowState::ImportedBefore : RowState::New;
        row.item.clear();
        const std::string* ruled = rules.itemFor(row.normalised);
        if (ruled && itemSlot(names, *ruled)) row.item = *ruled;
        if (row.item.empty() && itemSlot(names, defaultItem)) row.item = defaultItem;
        row.transfer = rules.transferFor(row.normalised);
        row.ticked = row.state == RowState::New && !row.item.empty();
    }
}

const std::string* ImportRules::itemFor(const std::string& normalised) const {
    const auto it = ruleFor(items, normalised);
    return it == items.end() ? nullptr : &it->second;
}

bool ImportRules::transferFor(const std::string& normalised) const {
    const auto it = ruleFor(transfers, normalised);
    return it != transfers.end() && it->second;
}

ColumnChoice columnsFor(const Statement& s, const ImportProfiles& profiles,
                        const std::string& profileName, std::string* used) {
    if (used) used->clear();
    const ImportProfile* p =
        profileName.empty() ? profiles.byShape(s.shape) : profiles.byName(profileName);
    if (!profileName.empty() && !p) throw AppError("ﾌﾟﾛﾌｧｲﾙ " + profileName + " がありません");
    if (!p) return s.columns;
    ColumnChoice c = p->columns;
    c.headerRecord = -2;
    if (p->shape == statementShape(s, -1)) c.headerRecord = -1;
    const int look = std::min<int>(static_cast<int>(s.records.size()), 40);
    for (int r = 0; r < look && c.headerRecord == -2; ++r)
        if (statementShape(s, r) == p->shape) c.headerRecord = r;
    if (c.headerRecord == -2) throw AppError("明細の見出しがﾌﾟﾛﾌｧｲﾙ " + p->name + " と合いません");
    if (used) *used = p->name;
    return c;
}

ImportSideFiles readImportSideFiles(FileStore& store, const std::string& ledgerDir) {
    ImportSideFiles files;
    auto read = [&](const char* name) {
        const std::string path = joinPath(ledgerDir, name);
        std::string bytes;
        if (const int err = store.tryRead(path, bytes); err != 0 && err != ENOENT)
            throw fileError(err, path);
        return bytes;
    };
    auto warn = [&](const char* name, int damaged) {
        if (damaged > 0)
            files.warnings.push_back(std::string(name) + " に読めない行があります (" +
                                     std::to_string(damaged) + " 行)");
    };
    files.log = parseImportLog(read(ImportLogFile));
    warn(ImportLogFile, files.log.damaged);
    files.rules = parseImportRules(read(ImportRulesFile));
    warn(ImportRulesFile, files.rules.damaged);
    files.profiles = parseImportProfiles(read(ImportProfilesFile));
    warn(ImportProfilesFile, files.profiles.damaged);
    return files;
}

void learnRule(ImportRules& rules, const StatementRow& row) {
    if (!row.normalised.empty() && !row.item.empty()) rules.items[row.normalised] = row.item;
}

void learnTransfer(ImportRules& rules, const StatementRow& row) {
    if (!row.normalised.empty()) rules.transfers[row.normalised] = row.transfer;
}

void refuseUnreadableStatement(const std::vector<StatementRow>& rows) {
    for (const StatementRow& row : rows)
        if (row.state != RowState::Problem) return;
    throw AppError("明細に読める行がありません");
}
