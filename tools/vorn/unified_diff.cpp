// The unified diff of two line lists: Myers' shortest edit script over line
// numbers, then the hunks of `diff -u` with their context and head lines.
#include "unified_diff.h"

#include <algorithm>
#include <cstddef>
#include <unordered_map>

namespace vorn::tool {

namespace {

// What happens to the lines at one step of the edit script.
enum class Step { Keep, Remove, Add };

// Every distinct key as a small number, so that the search compares
// numbers instead of strings.
void number_keys(const DiffSide &a, const DiffSide &b, std::vector<int> &ia, std::vector<int> &ib) {
    std::unordered_map<std::string, int> ids;
    auto number = [&ids](const DiffSide &side, std::vector<int> &out) {
        const std::vector<std::string> &keys = side.keys.empty() ? side.lines : side.keys;
        out.reserve(keys.size());
        for (const std::string &key : keys)
            out.push_back(ids.emplace(key, static_cast<int>(ids.size())).first->second);
    };
    number(a, ia);
    number(b, ib);
}

// The shortest edit script that turns a[0..n) into b[0..m).  The furthest
// reaching paths of each number of edits d are kept (2d + 1 values for
// round d), and the script is read back from the end through them.
std::vector<Step> shortest_script(const int *a, int n, const int *b, int m) {
    const int max = n + m;
    std::vector<int> v(2 * static_cast<size_t>(max) + 3, 0);
    const int offset = max + 1;
    std::vector<std::vector<int>> rounds;
    int found = -1;
    for (int d = 0; d <= max && found < 0; ++d) {
        rounds.emplace_back(v.begin() + (offset - d), v.begin() + (offset + d + 1));
        for (int k = -d; k <= d; k += 2) {
            int x = (k == -d || (k != d && v[offset + k - 1] < v[offset + k + 1]))
                        ? v[offset + k + 1]
                        : v[offset + k - 1] + 1;
            int y = x - k;
            while (x < n && y < m && a[x] == b[y])
                ++x, ++y;
            v[offset + k] = x;
            if (x >= n && y >= m) {
                found = d;
                break;
            }
        }
    }
    std::vector<Step> script;
    int x = n, y = m;
    for (int d = found; d > 0; --d) {
        const std::vector<int> &before = rounds[static_cast<size_t>(d)]; // k from -d
        auto at = [&before, d](int k) { return before[static_cast<size_t>(k + d)]; };
        const int k = x - y;
        const bool down = k == -d || (k != d && at(k - 1) < at(k + 1));
        const int prev_k = down ? k + 1 : k - 1;
        const int prev_x = at(prev_k);
        const int prev_y = prev_x - prev_k;
        while (x > prev_x + (down ? 0 : 1) && y > prev_y + (down ? 1 : 0)) {
            script.push_back(Step::Keep);
            --x, --y;
        }
        script.push_back(down ? Step::Add : Step::Remove);
        x = prev_x, y = prev_y;
    }
    while (x > 0 && y > 0) {
        script.push_back(Step::Keep);
        --x, --y;
    }
    std::reverse(script.begin(), script.end());
    return script;
}

// The whole edit script: shared lines at both ends, the search between.
std::vector<Step> edit_script(const std::vector<int> &a, const std::vector<int> &b) {
    size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head])
        ++head;
    size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head &&
           a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;
    std::vector<Step> script(head, Step::Keep);
    const std::vector<Step> middle =
        shortest_script(a.data() + head, static_cast<int>(a.size() - head - tail), b.data() + head,
                        static_cast<int>(b.size() - head - tail));
    script.insert(script.end(), middle.begin(), middle.end());
    script.insert(script.end(), tail, Step::Keep);
    return script;
}

// "l,n" of a hunk head as diff -u writes it: "l" alone for one line, and
// for none the number of the line before the gap.
std::string range(size_t first, size_t count) {
    if (count == 0)
        return std::to_string(first) + ",0";
    if (count == 1)
        return std::to_string(first + 1);
    return std::to_string(first + 1) + "," + std::to_string(count);
}

void append_line(std::string &out, char mark, const std::string &line) {
    out += mark;
    out += line;
    if (line.empty() || line.back() != '\n')
        out += "\n\\ No newline at end of file\n";
}

// Appends the hunk of script steps [from, to); a and b count the lines of
// each text before `from`.
void append_hunk(std::string &out, const std::vector<Step> &script, size_t from, size_t to,
                 size_t a_line, size_t b_line, const DiffSide &a, const DiffSide &b) {
    size_t a_count = 0, b_count = 0;
    for (size_t s = from; s < to; ++s) {
        a_count += script[s] != Step::Add;
        b_count += script[s] != Step::Remove;
    }
    out += "@@ -" + range(a_line, a_count) + " +" + range(b_line, b_count) + " @@\n";
    for (size_t s = from; s < to;) {
        if (script[s] == Step::Keep) {
            append_line(out, ' ', a.lines[a_line++]);
            ++b_line, ++s;
            continue;
        }
        // A change: every removed line first, then every added one.
        size_t end = s;
        while (end < to && script[end] != Step::Keep)
            ++end;
        for (size_t t = s; t < end; ++t)
            if (script[t] == Step::Remove)
                append_line(out, '-', a.lines[a_line++]);
        for (size_t t = s; t < end; ++t)
            if (script[t] == Step::Add)
                append_line(out, '+', b.lines[b_line++]);
        s = end;
    }
}

} // namespace

std::vector<std::string> split_lines(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

std::string unified_diff(const DiffSide &a, const DiffSide &b, int context) {
    std::vector<int> ia, ib;
    number_keys(a, b, ia, ib);
    const std::vector<Step> script = edit_script(ia, ib);
    const size_t around = context > 0 ? static_cast<size_t>(context) : 0;

    std::string out;
    size_t s = 0, a_line = 0, b_line = 0;
    while (s < script.size()) {
        // Find the next change; the hunk starts `around` steps before it.
        size_t change = s;
        size_t a_at = a_line, b_at = b_line;
        while (change < script.size() && script[change] == Step::Keep)
            ++change, ++a_at, ++b_at;
        if (change == script.size())
            break;
        const size_t lead = std::min(around, change - s);
        size_t from = change - lead;
        a_at -= lead, b_at -= lead;
        // Extend it over every change that follows within 2 x context lines.
        size_t to = change;
        for (;;) {
            while (to < script.size() && script[to] != Step::Keep)
                ++to;
            size_t kept = 0;
            while (to + kept < script.size() && script[to + kept] == Step::Keep)
                ++kept;
            if (to + kept == script.size() || kept > 2 * around) {
                to += std::min(kept, around);
                break;
            }
            to += kept;
        }
        if (out.empty())
            out = "--- " + a.label + "\n+++ " + b.label + "\n";
        append_hunk(out, script, from, to, a_at, b_at, a, b);
        for (size_t t = s; t < to; ++t) {
            a_line += script[t] != Step::Add;
            b_line += script[t] != Step::Remove;
        }
        s = to;
    }
    return out;
}

} // namespace vorn::tool
