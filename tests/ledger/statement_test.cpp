#include "ledger/statement.h"

#include "ledger/cp932.h"
#include "ledger/errors.h"

#include <gtest/gtest.h>

namespace {

// date, description, amount (expense negative) or the problem, per row.
std::string describe(const std::vector<StatementRow>& rows) {
    std::string out;
    for (const StatementRow& r : rows) {
        char date[16];
        std::snprintf(date, sizeof date, "%d-%d-%d", r.year, r.month, r.day);
        out += r.state == RowState::Problem
                   ? "line " + std::to_string(r.line) + ": " + r.problem + "\n"
                   : std::string(date) + " " + r.description + " " + (r.income ? "+" : "-") +
                         std::to_string(r.amount) + "\n";
    }
    return out;
}

MonthLedger names() {
    MonthLedger m;
    m.Items[1].Name = utf8ToCp932("食費");
    m.Items[2].Name = utf8ToCp932("給与");
    return m;
}

} // namespace

TEST(Statement, ReadsBothEncodingsBothLayoutsHeaderLinesAndQuotedFields) {
    struct Case {
        const char* what;
        std::string bytes;
        StatementEncoding encoding;
        std::string rows;
    } cases[] = {
        {"card, CP932, lines before the header, quoted comma, ¥ and full-width digits",
         utf8ToCp932("カード会員様\r\nご利用期間,2026年11月\r\n\r\n"
                     "ご利用日,ご利用店名,ご利用金額,支払区分\r\n"
                     "2026/11/03,\"ｽｰﾊﾟｰ ﾏﾙｴﾂ, 本店\",\"￥1,280\",1回\r\n"
                     "２０２６年１１月５日,返品 ABC,-300,1回\r\n"
                     "2026/02/30,存在しない日,100,1回\r\n"
                     "2026/11/031,日の後に数字,100,1回\r\n"
                     "2026/11/06,数値でない,abc,1回\r\n"
                     "2026/11/06,端数,12.50,1回\r\n"
                     "2026/11/06,端数なし,12.00,1回\r\n"
                     "2026/11/07,大きすぎる,\"3,000,000,000\",1回\r\n"
                     ",,合計,\"1,280\"\r\n"),
         StatementEncoding::Cp932,
         "2026-11-3 ｽｰﾊﾟｰ ﾏﾙｴﾂ, 本店 -1280\n2026-11-5 返品 ABC +300\n"
         "line 7: 日付ではありません: 2026/02/30\nline 8: 日付ではありません: 2026/11/031\n"
         "line 9: 金額が数値ではありません\nline 10: 金額が数値ではありません\n"
         "2026-11-6 端数なし -12\n"
         "line 12: 金額が整数の範囲を超えています\nline 13: 日付がありません\n"},
        {"bank, UTF-8 with BOM, LF, two amount columns, doubled quotes",
         "\xEF\xBB\xBF取引日,摘要,お引出金額,お預り金額,残高\n"
         "2026-12-01,\"給与 \"\"12月\"\"\",,\"250,000\",300000\n"
         "2026-12-08,ATM,\"10,000\",,290000\n"
         "2026-12-09,両方,1,1,0\n",
         StatementEncoding::Utf8Bom,
         "2026-12-1 給与 \"12月\" +250000\n2026-12-8 ATM -10000\nline 4: "
         "入金と出金の両方があります\n"},
        {"UTF-8 without BOM ending in a Japanese character, a line break inside quotes, no "
         "header line",
         "20261210,\"二行の\r\n摘要\",1200円\r\n20261232,誤り,1\r\n2026.12.11 "
         "10:15,コンビニ🍣,▲¥50円",
         StatementEncoding::Utf8,
         "2026-12-10 二行の\r\n摘要 -1200\nline 3: 日付ではありません: 20261232\n"
         "2026-12-11 コンビニ🍣 +50\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Statement s = readStatement(c.bytes);
        EXPECT_EQ(s.encoding, c.encoding);
        EXPECT_EQ(describe(statementRows(s, s.columns)), c.rows);
    }
    EXPECT_THROW(readStatement("\r\n,,\r\n"), AppError);
    // Only one of deposit and withdrawal named: the column is a signed
    // amount, not the balance after it.
    EXPECT_EQ(readStatement("日付,摘要,入出金額,残高\n2026/12/1,a,-5,995\n").columns.amount, 2);
}

TEST(Statement, OneSignedColumnReadsAsACardOrAsAnAccountByItsSigns) {
    struct Case {
        const char* what;
        const char* rows; // date,description,amount lines
        const char* read;
    } cases[] = {
        {"card: purchases positive, a refund negative",
         "2026/11/3,a,1280\n2026/11/4,b,-300\n"
         "2026/11/5,c,500\n",
         "2026-11-3 a -1280\n2026-11-4 b +300\n2026-11-5 c -500\n"},
        {"account: withdrawals negative, the salary positive",
         "2026/11/3,a,-1280\n2026/11/5,c,-500\n2026/11/25,給与,280000\n",
         "2026-11-3 a -1280\n2026-11-5 c -500\n2026-11-25 給与 +280000\n"},
        {"as many of each: a card", "2026/11/3,a,-1280\n2026/11/25,b,300\n",
         "2026-11-3 a +1280\n2026-11-25 b -300\n"},
        {"rows without a date or an amount do not count",
         "x,a,-1\nx,b,-1\n2026/11/3,c,-5\n2026/11/4,d,7\n2026/11/5,e,9\n2026/11/6,f,zz\n",
         "line 2: 日付ではありません: x\nline 3: 日付ではありません: x\n2026-11-3 c +5\n"
         "2026-11-4 d -7\n2026-11-5 e -9\nline 7: 金額が数値ではありません\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Statement s = readStatement(std::string("日付,摘要,金額\n") + c.rows);
        EXPECT_EQ(describe(statementRows(s, s.columns)), c.read);
    }
}

TEST(Statement, ReimportAndOverlapAddNothingWhileTwoIdenticalPaymentsBothCount) {
    const std::string november = "利用日,利用店名,利用金額\n2026/11/20,ｶﾌｪ,500\n"
                                 "2026/11/20,ｶﾌｪ,500\n2026/11/28,パン屋,300\n";
    ImportLog log;
    ImportRules rules;
    rules.items[normaliseText("カフェ")] = utf8ToCp932("食費");
    Statement s = readStatement(november);
    std::vector<StatementRow> rows = statementRows(s, s.columns);
    matchRows(rows, log, rules, names());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_TRUE(rows[0].ticked && rows[1].ticked); // the same coffee twice: both count
    EXPECT_FALSE(rows[2].ticked);                  // no rule: left for the user
    rows[2].item = utf8ToCp932("食費");
    learnRule(rules, rows[2]);
    std::vector<const StatementRow*> posted = {&rows[0], &rows[1], &rows[2]};
    // Its last line end lost, as an editor may leave it.
    const std::string logBytes = appendToImportLog(log, posted);
    log = parseImportLog(logBytes.substr(0, logBytes.size() - 2));
    EXPECT_EQ(log.fingerprints.size(), 3u);

    // The next statement repeats the last week of November in full-width
    // spelling and adds one more coffee that day and a December row.
    const std::string overlap =
        utf8ToCp932("利用日,利用店名,利用金額\r\n2026/11/20,カフェ,500\r\n2026/11/20,カフェ,500\r\n"
                    "2026/11/20,カフェ,500\r\n2026/11/28,パン屋,300\r\n2026/12/01,パン屋,300\r\n");
    s = readStatement(overlap);
    rows = statementRows(s, s.columns);
    matchRows(rows, log, rules, names());
    std::string states;
    for (const StatementRow& r : rows)
        states +=
            std::string(r.state == RowState::ImportedBefore ? "B" : "N") + (r.ticked ? "x " : "_ ");
    EXPECT_EQ(states, "B_ B_ Nx B_ Nx ");
    // The new rows' lines start on lines of their own.
    const ImportLog after = parseImportLog(appendToImportLog(log, {&rows[2], &rows[4]}));
    EXPECT_EQ(after.fingerprints.size(), 5u);
    EXPECT_EQ(after.damaged, 0);
}

TEST(Statement, SideFilesRoundTripEscapesAndKeepDamagedLines) {
    ImportRules rules;
    rules.items["100%41"] = utf8ToCp932("食費");
    rules.items["TAB\tOFF 🍣"] = utf8ToCp932("食費");
    const std::string damaged = "no tab here\r\n";
    ImportRules back = parseImportRules(formatImportRules(rules) + damaged);
    EXPECT_EQ(back.items, rules.items);
    EXPECT_EQ(back.damaged, 1);
    EXPECT_EQ(formatImportRules(back), formatImportRules(rules) + damaged);

    ImportProfiles profiles;
    const Statement bank =
        readStatement("口座,1\n日付,内容,出金,入金\n2026/1/1,a,1,\n2026/1/2,b,,2\n");
    profiles.save({"銀行%", bank.shape, bank.columns});
    ImportProfile card{"カード", "#3", {}};
    card.columns.date = 2, card.columns.description = 0, card.columns.amount = 1;
    card.columns.positiveIsIncome = true;
    profiles.save(card);
    const ImportProfiles read = parseImportProfiles(formatImportProfiles(profiles) + "x\t\r\n");
    ASSERT_EQ(read.profiles.size(), 2u);
    EXPECT_EQ(read.damaged, 1);
    // Picked by shape for a file that looks the same, by name otherwise.
    std::string used;
    // The header below as many lines of account details as are looked through.
    std::string details;
    for (int i = 0; i < 39; ++i)
        details += "口座,1\n";
    const Statement again = readStatement(details + "日付,内容,出金,入金\n2026/2/1,c,5,\n");
    EXPECT_EQ(columnsFor(again, read, "", &used).expense, 2);
    EXPECT_EQ(used, "銀行%");
    const Statement headerless = readStatement("ﾊﾟﾝ,120,2026/3/4\n");
    const ColumnChoice c = columnsFor(headerless, read, "カード", &used);
    EXPECT_EQ(describe(statementRows(headerless, c)), "2026-3-4 ﾊﾟﾝ +120\n");
    EXPECT_THROW(columnsFor(again, read, "カード"), AppError);
    EXPECT_THROW(columnsFor(again, read, "なし"), AppError);
}

TEST(Statement, DatesInEveryFormCardsAndBanksWriteThem) {
    const struct {
        const char* text;
        int year, month, day; // 0: not a date
    } cases[] = {
        {"2026/12/08", 2026, 12, 8},
        {"2026-12-8", 2026, 12, 8},
        {"2026年12月8日", 2026, 12, 8},
        {"20261208", 2026, 12, 8},
        {"２０２６／１２／０８", 2026, 12, 8},
        {"2026/12/08 10:15", 2026, 12, 8},
        {"26/12/03", 2026, 12, 3},
        {"R8.12.4", 2026, 12, 4},
        {"r8/12/4", 2026, 12, 4},
        {"令和8年12月4日", 2026, 12, 4},
        {"令和元年5月1日", 2019, 5, 1},
        {"H31.4.30", 2019, 4, 30},
        {"平成30年1月5日", 2018, 1, 5},
        {"S64.1.7", 1989, 1, 7},
        {"R8.2.29", 0, 0, 0},
        {"R8", 0, 0, 0},
        {"R.12.4", 0, 0, 0},
        {"令和8年12月4", 0, 0, 0},
        {"126/12/03", 0, 0, 0},
        {"26/13/03", 0, 0, 0},
        {"2026/12/40", 0, 0, 0},
        {"X8.12.4", 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        int y = 0, m = 0, d = 0;
        const bool ok = parseStatementDate(c.text, y, m, d);
        EXPECT_EQ(ok, c.year != 0);
        if (ok) EXPECT_EQ(std::tie(y, m, d), std::tie(c.year, c.month, c.day));
    }
}

TEST(Statement, RulesPlaceAWholeDescriptionOrTheLongestPartOfOne) {
    ImportRules rules;
    rules.items[normaliseText("ｱﾏｿﾞﾝ")] = "A";
    rules.items[normaliseText("アマゾン プライム")] = "B";
    rules.items[normaliseText("Amazon Prime Video")] = "C";
    rules.items[normaliseText("AB")] = "D"; // too short to be a part
    const struct {
        const char* description;
        const char* item; // nullptr: none
    } cases[] = {
        {"ｱﾏｿﾞﾝ", "A"},
        {"アマゾンマーケットプレイス", "A"},
        {"ｱﾏｿﾞﾝﾌﾟﾗｲﾑ会費", "B"},
        {"amazon prime video", "C"},
        {"AB", "D"},
        {"ABC商店", nullptr},
        {"楽天", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        const std::string* item = rules.itemFor(normaliseText(c.description));
        if (!c.item)
            EXPECT_EQ(item, nullptr);
        else
            EXPECT_EQ(item ? *item : std::string("none"), c.item);
    }
}

TEST(Statement, PayoffsLearntAsTransfersAreProposedAndKeptInTheRulesFile) {
    ImportRules rules;
    rules.items[normaliseText("カフェ")] = utf8ToCp932("食費");
    rules.transfers[normaliseText("ミツイスミトモカード")] = true;
    // A payoff of the same card with another suffix learnt as not 振替.
    rules.transfers[normaliseText("ミツイスミトモカード ネンカイヒ")] = false;
    const struct {
        const char* description;
        bool transfer;
    } cases[] = {
        {"ﾐﾂｲｽﾐﾄﾓｶｰﾄﾞ", true},              // the whole, half-width
        {"ミツイスミトモカード（カ", true}, // the longest part
        {"ミツイスミトモカード ネンカイヒ", false},
        {"カフェ", false},
        {"楽天", false},
    };
    std::string csv = "日付,摘要,金額\n";
    for (const auto& c : cases)
        csv += std::string("2026/12/01,") + c.description + ",1000\n";
    const Statement s = readStatement(csv);
    std::vector<StatementRow> rows = statementRows(s, s.columns);
    matchRows(rows, ImportLog{}, rules, names(), utf8ToCp932("食費"));
    ASSERT_EQ(rows.size(), std::size(cases));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(cases[i].description);
        EXPECT_EQ(rows[i].transfer, cases[i].transfer);
        EXPECT_TRUE(rows[i].ticked) << "振替 is posted like any row";
    }

    // The file keeps each kind of rule; older rules stay two fields.
    rules.transfers[normaliseText("ラクテンカード")] = true; // no item rule of its own
    const std::string bytes = formatImportRules(rules);
    EXPECT_NE(bytes.find(utf8ToCp932("カフェ\t食費\r\n")), std::string::npos);
    EXPECT_NE(bytes.find(utf8ToCp932("ラクテンカード\t\t振替\r\n")), std::string::npos);
    EXPECT_NE(bytes.find(utf8ToCp932("\t振替なし\r\n")), std::string::npos);
    const ImportRules back = parseImportRules(bytes);
    EXPECT_EQ(back.items, rules.items);
    EXPECT_EQ(back.transfers, rules.transfers);
    EXPECT_EQ(back.damaged, 0);
    // A third field of another kind is a damaged line, kept as it was.
    const std::string odd = utf8ToCp932("ヨソ\t食費\tほか\r\n");
    EXPECT_EQ(parseImportRules(odd).damaged, 1);
    EXPECT_EQ(parseImportRules(utf8ToCp932("ヨソ\t\r\n")).damaged, 1);
    EXPECT_EQ(formatImportRules(parseImportRules(odd)), odd);

    // Setting or clearing it on a row is learnt for that description.
    rows[3].transfer = true;
    learnTransfer(rules, rows[3]);
    rows[0].transfer = false;
    learnTransfer(rules, rows[0]);
    EXPECT_TRUE(rules.transferFor(normaliseText("カフェ")));
    EXPECT_FALSE(rules.transferFor(normaliseText("ﾐﾂｲｽﾐﾄﾓｶｰﾄﾞ")));
    EXPECT_FALSE(rules.transferFor(normaliseText("ミツイスミトモカード（カ"))) << "by its part";
}
