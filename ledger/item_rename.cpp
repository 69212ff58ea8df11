#include "ledger/item_rename.h"

#include "ledger/errors.h"

#include <cstdio>
#include <set>
#include <vector>

namespace {

struct Line {
    std::string text; // without its end
    std::string end;  // "\r\n", "\r", or nothing at the end of the file
};

// Lines as the month load splits them (CR, one LF after it skipped); what
// follows a Ctrl-Z is kept as it is.
std::vector<Line> lines(const std::string& bytes, std::string& rest) {
    std::vector<Line> out;
    std::size_t pos = 0;
    while (pos < bytes.size() && bytes[pos] != 26) {
        std::size_t end = pos;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != 26)
            ++end;
        Line l{bytes.substr(pos, end - pos), {}};
        pos = end;
        if (pos < bytes.size() && bytes[pos] == '\r') {
            l.end = "\r";
            ++pos;
            if (pos < bytes.size() && bytes[pos] == '\n') {
                l.end += '\n';
                ++pos;
            }
        }
        out.push_back(std::move(l));
    }
    rest = bytes.substr(pos);
    return out;
}

std::vector<std::string> fields(const std::string& text) {
    std::vector<std::string> out(1);
    for (const char c : text) {
        if (c == ',')
            out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

std::string nameOf(const std::string& text) {
    return text.substr(0, text.find(','));
}

// Adds the amounts (fields 3 to 34: the days and the total) of `from` into
// `into`, both lines of one name and flag.
std::string summed(const std::string& into, const std::string& from) {
    std::vector<std::string> a = fields(into);
    const std::vector<std::string> b = fields(from);
    for (std::size_t f = 2; f < 34 && f < a.size(); ++f) {
        if (a[f].empty() && (f >= b.size() || b[f].empty())) continue; // after the last comma
        const int32_t sum = checkedAdd(parseInt32(a[f]), f < b.size() ? parseInt32(b[f]) : 0);
        char text[16];
        std::snprintf(text, sizeof text, "%8.8d", sum);
        a[f] = text;
    }
    std::string out;
    for (std::size_t f = 0; f < a.size(); ++f)
        out += (f ? "," : "") + a[f];
    return out;
}

} // namespace

std::string renameLines(const std::string& bytes, const std::map<std::string, std::string>& renames,
                        bool* merged) {
    if (merged) *merged = false;
    std::set<std::string> targets;
    for (const auto& [from, to] : renames)
        targets.insert(to);
    std::string rest;
    std::vector<Line> in = lines(bytes, rest);
    std::vector<Line> out;
    std::map<std::string, std::size_t> first; // "name,flag" of a target: its line in `out`
    for (Line& l : in) {
        const std::string name = nameOf(l.text);
        if (name.size() == l.text.size()) {
            out.push_back(std::move(l)); // not a line of an item
            continue;
        }
        const auto renamed = renames.find(name);
        if (renamed != renames.end()) l.text = renamed->second + l.text.substr(name.size());
        const std::string now = nameOf(l.text);
        if (!targets.count(now)) {
            out.push_back(std::move(l));
            continue;
        }
        // A line of an item has a comma after its name, so a flag field.
        const std::string key = now + "," + fields(l.text)[1];
        const auto at = first.find(key);
        if (at == first.end()) {
            first.emplace(key, out.size());
            out.push_back(std::move(l));
            continue;
        }
        out[at->second].text = summed(out[at->second].text, l.text);
        if (merged) *merged = true;
    }
    std::string result;
    for (const Line& l : out)
        result += l.text + l.end;
    return result + rest;
}

bool holdsName(const std::string& bytes, const std::string& name) {
    std::string rest;
    for (const Line& l : lines(bytes, rest))
        if (l.text.size() > name.size() && nameOf(l.text) == name) return true;
    return false;
}
