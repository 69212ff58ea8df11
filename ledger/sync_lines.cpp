#include "ledger/sync_lines.h"

namespace {

std::string keyOf(const std::optional<EntryLine>& l) {
    return l ? formatLineRecord(*l) : std::string();
}

} // namespace

std::string lineForkKey(MonthKey month, const LineMerge::Fork& fork) {
    const std::string start = keyOf(fork.first.from);
    return "L:" + std::to_string(month.year) + "-" + std::to_string(month.month) + ":" + start +
           "|" + fork.first.pc + ":" + std::to_string(fork.first.step) + "|" + fork.second.pc +
           ":" + std::to_string(fork.second.step);
}

LineMerge mergeLines(MonthKey month, const std::vector<LineChange>& changes,
                     const std::set<std::string>& settled) {
    LineMerge out;
    std::map<std::string, const LineChange*> takenBy;
    auto add = [&](const LineChange& c) {
        const std::string k = keyOf(c.to);
        ++out.expected[k];
        out.line[k] = *c.to;
        out.moved[k] = c.moved;
    };
    auto take = [&](const std::string& k, const LineChange* by) {
        int& n = out.expected[k];
        if (n > 0) --n;
        out.taken.insert(k);
        takenBy[k] = by;
    };
    for (const LineChange& c : changes) {
        if (!c.from) {
            if (c.to) add(c);
            continue;
        }
        const std::string from = keyOf(c.from), to = keyOf(c.to);
        const auto by = takenBy.find(from);
        // A line still there, or one no record made (older than the
        // records): the change stands.
        if (out.expected[from] > 0 || by == takenBy.end() || by->second->pc == c.pc) {
            take(from, &c);
            if (c.to) add(c);
            continue;
        }
        const LineChange& first = *by->second;
        if (keyOf(first.to) == to) continue; // the same change on both sides, once
        const LineMerge::Fork fork{first, c};
        const std::string key = lineForkKey(month, fork);
        if (settled.count(key)) {
            if (settled.count(key + "#2")) {
                if (first.to) take(keyOf(first.to), &c);
                if (c.to) add(c);
            } else if (c.to) {
                out.taken.insert(to);
            }
            continue;
        }
        out.forks.push_back(fork);
        out.held.insert(from);
        if (first.to) out.held.insert(keyOf(first.to));
        if (c.to) out.held.insert(to);
    }
    return out;
}

std::vector<LineMend> lineMends(const LineMerge& merge, const std::vector<LineChange>& changes,
                                const std::vector<EntryLine>& present) {
    std::map<std::string, int> have;
    std::map<std::string, const EntryLine*> shown;
    for (const EntryLine& l : present) {
        const std::string k = formatLineRecord(l);
        ++have[k];
        shown.emplace(k, &l);
    }
    auto expected = [&](const std::string& k) {
        const auto at = merge.expected.find(k);
        return at == merge.expected.end() ? 0 : at->second;
    };
    std::map<std::string, int> missing, stale;
    for (const auto& [k, n] : merge.expected)
        if (!merge.held.count(k) && n > have[k]) missing[k] = n - have[k];
    for (const auto& [k, n] : have)
        if (!merge.held.count(k) && merge.taken.count(k) && n > expected(k))
            stale[k] = n - expected(k);
    std::vector<LineMend> out;
    // A change the file missed: the old line becomes the new one in place.
    for (const LineChange& c : changes) {
        if (!c.from || !c.to) continue;
        const std::string from = keyOf(c.from), to = keyOf(c.to);
        if (stale[from] > 0 && missing[to] > 0) {
            --stale[from];
            --missing[to];
            out.push_back({*shown[from], merge.line.at(to), true});
        }
    }
    for (const auto& [k, n] : stale)
        for (int i = 0; i < n; ++i)
            out.push_back({*shown.at(k), std::nullopt, true});
    for (const auto& [k, n] : missing)
        for (int i = 0; i < n; ++i)
            out.push_back({std::nullopt, merge.line.at(k), merge.moved.at(k)});
    return out;
}
