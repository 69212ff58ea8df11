// Reading a 2,000-row card statement in code page 932 and matching it
// against its import log (read from its bytes each time) and a hundred rules: what the
// preview does before it shows anything. The target is under 50 ms.
#include "ledger/cp932.h"
#include "ledger/statement.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

const char* const Shops[] = {"ｽｰﾊﾟｰ ﾏﾙｴﾂ", "コンビニ 駅前店",      "ＡＭＡＺＯＮ．ＣＯ．ＪＰ",
                             "東京電力",   "ドラッグストア, 本店", "ガソリンスタンド"};

std::string statement() {
    std::string text = "カード会員様\r\nご利用日,ご利用店名,ご利用金額,支払区分\r\n";
    for (int i = 0; i < 2000; ++i)
        text += "2026/" + std::to_string(1 + i % 12) + "/" + std::to_string(1 + i % 28) + ",\"" +
                Shops[i % 6] + " " + std::to_string(i % 100) + "\",\"￥" +
                std::to_string(100 + i * 7 % 5000) + "\",1回\r\n";
    return utf8ToCp932(text);
}

void BM_ReadAndMatchStatement(benchmark::State& state) {
    const std::string bytes = statement();
    MonthLedger names;
    names.Items[1].Name = utf8ToCp932("食費");
    ImportRules rules;
    std::string logBytes;
    {
        ImportLog log;
        const Statement s = readStatement(bytes);
        std::vector<StatementRow> rows = statementRows(s, s.columns);
        std::vector<const StatementRow*> all;
        for (const StatementRow& r : rows)
            all.push_back(&r);
        for (int i = 0; i < 100; ++i)
            rules.items[rows[i].normalised] = names.Items[1].Name;
        logBytes = appendToImportLog(log, all);
    }
    for (auto _ : state) {
        const Statement s = readStatement(bytes);
        std::vector<StatementRow> rows = statementRows(s, s.columns);
        matchRows(rows, parseImportLog(logBytes), rules, names);
        benchmark::DoNotOptimize(rows.data());
    }
}
BENCHMARK(BM_ReadAndMatchStatement)->Unit(benchmark::kMillisecond);

} // namespace
