// The budget file: every amount the reader accepts is within 0 to
// 2,147,483,647, and what the writer makes of it reads back to the same plan
// and is written again byte for byte.
#include "ledger/budget_plan.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    BudgetPlan plan;
    try {
        plan = parseBudgetPlan(fuzzBytes(data, size));
    } catch (const AppError&) {
        return 0;
    }
    for (const auto& [name, months] : plan.items())
        for (const auto& [key, entry] : months)
            FUZZ_CHECK(!entry.budgeted || (entry.amount >= 0 && entry.amount <= BudgetMax),
                       "an amount out of range was accepted");
    const std::string bytes = formatBudgetPlan(plan);
    const BudgetPlan again = parseBudgetPlan(bytes);
    FUZZ_CHECK(again == plan, "the written plan reads back to another plan");
    FUZZ_CHECK(formatBudgetPlan(again) == bytes, "the written file is not written back as it is");
    return 0;
}
