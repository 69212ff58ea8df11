#pragma once
// Card and bank statements (CSV) read into rows ready to post:
//   bytes -> encoding (CP932, UTF-8 with or without BOM) -> CSV records ->
//   header line and columns (detected, or a saved profile of the same shape)
//   -> rows (date, description, amount or the reason the row cannot be posted)
//   -> matched against the import log (fingerprints of rows posted before)
//   and the rules (normalised description -> item name).
// Texts of a statement are UTF-8 here; item names stay CP932 bytes as the
// ledger holds them. The three side files are CP932 + CR LF (see README).

#include "ledger/file_store.h"
#include "ledger/month_ledger.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

enum class StatementEncoding { Cp932, Utf8, Utf8Bom };

// BOM first, then: text that is valid UTF-8 is UTF-8, anything else CP932.
StatementEncoding detectStatementEncoding(std::string_view bytes);

// CSV records of a UTF-8 text: fields split at commas, quoted fields may hold
// commas, line breaks and doubled quotes; records end at CR LF, LF or CR.
struct CsvRecord {
    int line = 0; // physical line where the record starts, from 1
    std::vector<std::string> fields;
};
std::vector<CsvRecord> parseCsvRecords(std::string_view utf8);

// The form descriptions, headers, dates and amounts are compared in:
// full-width letters, digits and signs half-width, half-width katakana
// full-width (voiced marks joined), letters upper case, blanks removed.
std::string normaliseText(std::string_view utf8);

// Which column holds what; -1 for none. Either `amount` (one signed column)
// or `income` and `expense` (two columns, one of them filled per row).
struct ColumnChoice {
    int headerRecord = -1; // index into the records; rows follow it
    int date = -1;
    int description = -1;
    int amount = -1;
    int income = -1;
    int expense = -1;
    // One amount column: positive amounts are expenses (card statements)
    // unless this is set (bank accounts listing deposits as positive).
    bool positiveIsIncome = false;
    bool usable() const { return date >= 0 && (amount >= 0 || (income >= 0 && expense >= 0)); }
    bool operator==(const ColumnChoice& o) const;
};

struct Statement {
    StatementEncoding encoding = StatementEncoding::Cp932;
    std::vector<CsvRecord> records;
    ColumnChoice columns; // as detected
    // The shape profiles are matched on: the header line normalised, or the
    // number of fields when the table has no header line.
    std::string shape;
};

// A statement whose date or amount columns are unknown.
inline constexpr const char* NoStatementTable = "明細の日付と金額の列がわかりません";

// Decodes and parses a statement and detects its columns. A file with no
// records throws AppError; columns that could not be detected are -1.
Statement readStatement(std::string_view bytes);
// The shape of the table when `headerRecord` is its header line.
std::string statementShape(const Statement& s, int headerRecord);

// "2026/12/08", "2026-12-8", "2026年12月8日", "20261208", "26/12/08" (this
// century), "R8.12.8", "令和8年12月8日", "H30/1/5" (full-width digits too, a
// time after a blank ignored). False for anything else or a day the
// calendar does not have.
bool parseStatementDate(std::string_view utf8, int& year, int& month, int& day);
// "1,200", "￥1,200", "¥-300", "▲300", "1200円", "1200.00"; false for an
// empty field, anything else or a value whose magnitude leaves 32 bits.
enum class AmountParse { Ok, Empty, NotNumber, TooLarge };
AmountParse parseStatementAmount(std::string_view utf8, int64_t& value);

enum class RowState { New, ImportedBefore, Problem };

struct StatementRow {
    int line = 0; // the record's line in the file
    int year = 0, month = 0, day = 0;
    std::string description; // as in the file
    std::string normalised;
    int32_t amount = 0; // magnitude, posted to `income` or the expense
    bool income = false;
    int occurrence = 0; // 1 + identical earlier rows of this file
    RowState state = RowState::New;
    std::string problem; // why it cannot be posted (state Problem)
    std::string item;    // CP932 item name; empty when none is proposed
    // 振替: money moved between the household's own accounts (the bank's
    // debit for a card whose statement is imported too); posted as a line
    // tagged so, kept in the balance but in neither income nor expense.
    bool transfer = false;
    bool ticked = false;
    // A scheduled posting seems to be this row (markScheduledRows).
    bool scheduled = false;

    // The key kept in the import log.
    std::string fingerprint() const;
};

// The rows after the header line (blank records skipped), each with its
// date and amount or its problem, and its occurrence among identical rows.
std::vector<StatementRow> statementRows(const Statement& s, const ColumnChoice& c);

// Throws AppError when not one row can be posted: the file is refused as a
// whole rather than shown as a list of problems.
void refuseUnreadableStatement(const std::vector<StatementRow>& rows);

// Side files. Unreadable lines are kept as they were and counted, so a
// damaged file is reported once and loses nothing when written back.
inline constexpr const char* ImportLogFile = "ZADUD.IMP";
inline constexpr const char* ImportRulesFile = "ZADUD.RUL";
inline constexpr const char* ImportProfilesFile = "ZADUD.PRF";

struct ImportLog {
    // Fingerprint -> the undo step that posted it (0: not known).
    std::map<std::string, uint64_t> fingerprints;
    // Steps undone since: their rows count as not imported.
    std::set<uint64_t> undone;
    std::string bytes; // the file as read, appended to
    int damaged = 0;
    bool imported(const std::string& fingerprint) const;
};
ImportLog parseImportLog(const std::string& cp932Bytes);
// Adds the rows not imported yet, posted by undo step `step`; returns the
// file's bytes.
std::string appendToImportLog(ImportLog& log, const std::vector<const StatementRow*>& rows,
                              uint64_t step = 0);

struct ImportRules {
    std::map<std::string, std::string> items; // normalised description -> CP932 item name
    // The item of a row's normalised description: the rule for the whole of
    // it, else the longest rule that is a part of it ("アマゾン" places
    // "アマゾンマーケットプレイス"); null for none.
    const std::string* itemFor(const std::string& normalised) const;
    // Descriptions learnt as 振替 (true) or as not 振替 (false), matched as
    // the items are: the whole description, else the longest part.
    std::map<std::string, bool> transfers;
    bool transferFor(const std::string& normalised) const;
    std::vector<std::string> otherLines;
    int damaged = 0;
};
ImportRules parseImportRules(const std::string& cp932Bytes);
std::string formatImportRules(const ImportRules& rules);

struct ImportProfile {
    std::string name; // UTF-8
    std::string shape;
    ColumnChoice columns;
};
struct ImportProfiles {
    std::vector<ImportProfile> profiles;
    std::vector<std::string> otherLines;
    int damaged = 0;
    const ImportProfile* byName(const std::string& name) const;
    const ImportProfile* byShape(const std::string& shape) const;
    // Replaces a profile of the same name, or adds it.
    void save(const ImportProfile& p);
};
ImportProfiles parseImportProfiles(const std::string& cp932Bytes);
std::string formatImportProfiles(const ImportProfiles& profiles);

// Marks rows found in the log as imported before, proposes each row's item
// from the rules (or `defaultItem`) among the ledger's shown item names and
// 振替 where the rules know the description as a payoff, and ticks the new
// rows that have an item.
void matchRows(std::vector<StatementRow>& rows, const ImportLog& log, const ImportRules& rules,
               const MonthLedger& names, const std::string& defaultItem = {});

// The columns for a statement: the profile named (its header line found by
// its shape; a file of another shape throws AppError), else the last profile
// saved for the statement's shape, else the detected ones. `used` receives
// the profile's name, or is cleared.
ColumnChoice columnsFor(const Statement& s, const ImportProfiles& profiles,
                        const std::string& profileName, std::string* used = nullptr);

// The three side files of the ledger folder. Missing files are empty; a
// file that is there but cannot be read throws its file error, since
// importing without the log could count rows twice. `warnings` names each
// file with damaged lines.
struct ImportSideFiles {
    ImportLog log;
    ImportRules rules;
    ImportProfiles profiles;
    std::vector<std::string> warnings; // UTF-8
    std::string logTrouble;            // UTF-8: the log was not written after a posting
};
ImportSideFiles readImportSideFiles(FileStore& store, const std::string& ledgerDir);

// After a row's item was chosen: its description goes there next time.
void learnRule(ImportRules& rules, const StatementRow& row);
// After a row's 振替 was set or cleared: its description is proposed so next
// time.
void learnTransfer(ImportRules& rules, const StatementRow& row);
