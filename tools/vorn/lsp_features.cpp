// The language server's answers about places in a document: hover on a
// key, a period heading or a map line; completion of keys, service words
// and day names; quick fixes from the check's fix-its; and the outline of
// periods with their maps.
#include "lsp_server.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <strings.h>

namespace vorn::tool::lsp {

namespace {

using json = nlohmann::json;

constexpr const char *kDayWords[] = {"Sunday",   "Monday", "Tuesday",  "Wednesday",
                                     "Thursday", "Friday", "Saturday", "holidays"};

std::string clock_text(int minutes) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", minutes / 60 % 100, minutes % 60);
    return text;
}

json range_of(int line, int from, int to) {
    return {{"start", {{"line", line}, {"character", from}}},
            {"end", {{"line", line}, {"character", to}}}};
}

// The line as written, without a comment and the blanks around it.
std::string shown_line(std::string_view line) {
    line = line.substr(0, std::min(line.find(';'), line.size()));
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return "";
    const size_t last = line.find_last_not_of(" \t");
    return std::string(line.substr(first, last - first + 1));
}

// The period heading a map line of `line` belongs to (0-based), or -1
// for the maps before the first heading.
int heading_above(const std::vector<std::string_view> &lines, int line) {
    for (int i = line - 1; i >= 0; --i)
        if (lines[static_cast<size_t>(i)].find('[') != std::string_view::npos &&
            classify(std::string(lines[static_cast<size_t>(i)])).role == Role::Heading)
            return i;
    return -1;
}

std::string heading_text(const std::string &written, const Heading *h) {
    std::string text = "Period " + written;
    if (h == nullptr || !h->read)
        return text + "\nThe compiler does not read this heading.";
    text += "\nStarts at " + clock_text(h->hour * 60 + h->minute) + " on";
    for (int day = 0; day < 8; ++day)
        if ((h->days >> ((day + 1) % 8) & 1u) != 0) // Monday first, holidays last
            text += std::string(" ") + kDayWords[(day + 1) % 8];
    text += ".";
    if (h->covered.empty())
        return text + "\nCovers no time in the compiled table (no maps, or the configuration "
                      "does not compile).";
    text += "\nCovers:";
    for (int day : {1, 2, 3, 4, 5, 6, 0, 7}) {
        std::string spans;
        for (const Span &s : h->covered)
            if (s.day == day)
                spans += (spans.empty() ? " " : ", ") + clock_text(s.from) + "-" +
                         (s.to >= 1440 ? std::string("24:00") : clock_text(s.to));
        if (!spans.empty())
            text += std::string("\n  ") + kDayWords[day] + spans;
    }
    return text;
}

std::string key_text(const KeyHelp &help) {
    return help.form + "\n" + help.summary + "\n" + help.range;
}

// The word at byte `at` of `line` (letters, digits, "_"), with its start.
std::string word_at(std::string_view line, size_t at, size_t &start) {
    const auto part = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    };
    start = std::min(at, line.size());
    while (start > 0 && part(line[start - 1]))
        --start;
    size_t end = start;
    while (end < line.size() && part(line[end]))
        ++end;
    return std::string(line.substr(start, end - start));
}

bool begins_with(const std::string &word, const std::string &prefix) {
    return word.size() >= prefix.size() &&
           strncasecmp(word.c_str(), prefix.c_str(), prefix.size()) == 0;
}

} // namespace

Server::json Server::hover(const json &params) {
    Document *doc = document(params);
    if (doc == nullptr)
        return nullptr;
    checked(*doc, params["textDocument"]["uri"].get<std::string>());
    const std::vector<std::string_view> lines = lines_of(doc->text);
    const int line = params.at("position").at("line").get<int>();
    if (line < 0 || line >= static_cast<int>(lines.size()))
        return nullptr;
    const std::string_view text = lines[static_cast<size_t>(line)];
    const size_t at = bytes_of_units(text, params["position"].at("character").get<int>());
    const LineWord word = classify(std::string(text));
    std::string value;
    if (word.role == Role::Heading) {
        const auto h = doc->analysis.headings.find(line + 1);
        value = heading_text(shown_line(text),
                             h == doc->analysis.headings.end() ? nullptr : &h->second);
    } else if (word.role == Role::Map) {
        const int heading = heading_above(lines, line);
        value = "Map line in ";
        value += heading < 0 ? std::string("no period: it applies at every time")
                             : "the period " + shown_line(lines[static_cast<size_t>(heading)]) +
                                   " of line " + std::to_string(heading + 1);
        value += ".\n";
        const auto r = doc->analysis.removed.find(line + 1);
        if (!doc->analysis.compiled)
            value += "What the optimizer does with it is known once the configuration compiles.";
        else if (r == doc->analysis.removed.end())
            value += "The optimizer keeps it.";
        else if (r->second.kept_line != 0)
            value += "The optimizer removes it: the map of line " +
                     std::to_string(r->second.kept_line) + " (" + r->second.kept_text +
                     ") takes its place.";
        else
            value += "The optimizer removes it: the standard map " + r->second.kept_text +
                     " takes its place.";
    }
    const size_t key_from = static_cast<size_t>(std::max(word.column - 1, 0));
    KeyHelp help;
    if (word.role != Role::Heading && word.length > 0 && at >= key_from &&
        at <= key_from + static_cast<size_t>(word.length) &&
        key_help(std::string(text.substr(key_from, static_cast<size_t>(word.length))), help))
        value = key_text(help) + (value.empty() ? "" : "\n\n" + value);
    if (value.empty())
        return nullptr;
    return {{"contents", {{"kind", "plaintext"}, {"value", value}}}};
}

Server::json Server::completion(const json &params) {
    Document *doc = document(params);
    json items = json::array();
    if (doc == nullptr)
        return items;
    const std::vector<std::string_view> lines = lines_of(doc->text);
    const int line = params.at("position").at("line").get<int>();
    if (line < 0 || line >= static_cast<int>(lines.size()))
        return items;
    const std::string_view text = lines[static_cast<size_t>(line)];
    const size_t at = bytes_of_units(text, params["position"].at("character").get<int>());
    size_t start = 0;
    const std::string typed = word_at(text.substr(0, at), at, start);
    const std::string_view before = text.substr(0, start);
    const bool first_word = before.find_first_not_of(" \t") == std::string_view::npos;
    const LineWord role = classify(std::string(text));
    if (first_word) {
        for (const KeyHelp &k : key_helps())
            if (k.key != "[" && begins_with(k.key, typed))
                items.push_back({{"label", k.key},
                                 {"kind", 14},
                                 {"detail", k.form},
                                 {"documentation", k.summary + "\n" + k.range}});
        return items;
    }
    std::vector<std::string> words;
    if (role.role == Role::Heading && before.find(']') != std::string_view::npos)
        words = day_names();
    else if (role.role == Role::Map) {
        // The service word stands after the code: the third word of the line.
        int seen = 0;
        bool in_word = false;
        for (char c : before) {
            const bool separator = c == ' ' || c == '\t' || c == '=';
            seen += !separator && !in_word;
            in_word = !separator;
        }
        if (seen >= 2)
            words = service_words();
    }
    for (const std::string &w : words)
        if (begins_with(w, typed))
            items.push_back({{"label", w}, {"kind", 12}});
    return items;
}

Server::json Server::code_actions(const json &params) {
    Document *doc = document(params);
    json actions = json::array();
    if (doc == nullptr)
        return actions;
    const std::string uri = params["textDocument"]["uri"].get<std::string>();
    checked(*doc, uri);
    const int first = params.at("range").at("start").at("line").get<int>();
    const int last = params.at("range").at("end").at("line").get<int>();
    const std::vector<std::string_view> lines = lines_of(doc->text);
    const json shown = diagnostics(*doc);
    for (size_t i = 0; i < doc->analysis.findings.size(); ++i) {
        const Finding &f = doc->analysis.findings[i];
        const int line = f.line - 1;
        if (f.fix_column == 0 || line < first || line > last ||
            line >= static_cast<int>(lines.size()))
            continue;
        const std::string_view text = lines[static_cast<size_t>(line)];
        const size_t from = static_cast<size_t>(f.fix_column - 1);
        const int a = utf16_units(text, from);
        const int b = utf16_units(text, from + static_cast<size_t>(f.fix_length));
        const std::string old(
            text.substr(std::min(from, text.size()), static_cast<size_t>(f.fix_length)));
        const std::string title = f.fix_length == 0
                                      ? "Insert '" + f.fix_text + "'"
                                      : "Change '" + old + "' to '" + f.fix_text + "'";
        actions.push_back({{"title", title},
                           {"kind", "quickfix"},
                           {"isPreferred", true},
                           {"diagnostics", json::array({shown[i]})},
                           {"edit",
                            {{"changes",
                              {{uri, json::array({{{"range", range_of(line, a, b)},
                                                   {"newText", f.fix_text}}})}}}}}});
    }
    return actions;
}

Server::json Server::symbols(const json &params) {
    Document *doc = document(params);
    json out = json::array();
    if (doc == nullptr)
        return out;
    const std::string uri = params["textDocument"]["uri"].get<std::string>();
    checked(*doc, uri);
    const std::vector<std::string_view> lines = lines_of(doc->text);
    constexpr int kNamespace = 3, kKey = 20;
    json section; // the period being filled
    json maps = json::array();
    int section_end = 0, section_end_character = 0;
    const auto close = [&]() {
        if (section.is_null() && maps.empty())
            return;
        if (section.is_null()) // the maps before the first heading
            section = {{"name", "global"},
                       {"detail", "maps at every time"},
                       {"kind", kNamespace},
                       {"range", range_of(0, 0, 0)},
                       {"selectionRange", range_of(0, 0, 0)}};
        section["range"]["end"] = {{"line", section_end}, {"character", section_end_character}};
        section["children"] = maps;
        out.push_back(section);
        section = nullptr;
        maps = json::array();
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string line(lines[i]);
        const LineWord word = classify(line);
        const int n = static_cast<int>(i);
        const int from = utf16_units(line, static_cast<size_t>(std::max(word.column - 1, 0)));
        const int to =
            utf16_units(line, static_cast<size_t>(std::max(word.column - 1 + word.length, 0)));
        const int end = utf16_units(line, line.size());
        if (word.role == Role::Heading) {
            close();
            section = {{"name", shown_line(line)},
                       {"detail", "period of line " + std::to_string(n + 1)},
                       {"kind", kNamespace},
                       {"range", range_of(n, 0, end)},
                       {"selectionRange", range_of(n, from, to)}};
            section_end = n;
            section_end_character = end;
        } else if (word.role == Role::Map) {
            if (section.is_null() && maps.empty())
                section_end = n;
            maps.push_back({{"name", shown_line(line)},
                            {"detail", doc->analysis.removed.count(n + 1) != 0 ? "removed" : ""},
                            {"kind", kKey},
                            {"range", range_of(n, 0, end)},
                            {"selectionRange", range_of(n, from, to)}});
            section_end = n;
            section_end_character = end;
        }
    }
    close();
    if (m_hierarchical)
        return out;
    // Clients without outlines of trees take a list with each map's period.
    json flat = json::array();
    for (const json &s : out) {
        flat.push_back({{"name", s["name"]},
                        {"kind", s["kind"]},
                        {"location", {{"uri", uri}, {"range", s["range"]}}}});
        for (const json &m : s["children"])
            flat.push_back({{"name", m["name"]},
                            {"kind", m["kind"]},
                            {"containerName", s["name"]},
                            {"location", {{"uri", uri}, {"range", m["range"]}}}});
    }
    return flat;
}

} // namespace vorn::tool::lsp
