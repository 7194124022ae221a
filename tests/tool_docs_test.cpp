// The tool's manual page and bash completion against the tool itself: both
// are written by hand, so these tests read `vorn --help` and fail when a
// command or an option appears in one place and not in the other.  The
// page of the configuration language is held to the compiler's key table
// the same way.
#include "conf/key_docs.h"
#include "support/run_tool.h"
#include "support/trace_capture.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <sstream>
#include <vector>

using namespace vorn::test;

namespace {

const std::string kSource = VORN_SOURCE_DIR;

bool have_program(const std::string &name) {
    return run_shell("command -v " + name).exit_code == 0;
}

std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string trimmed(const std::string &text) {
    const auto first = text.find_first_not_of(' ');
    return first == std::string::npos ? ""
                                      : text.substr(first, text.find_last_not_of(' ') + 1 - first);
}

// The long options ("--name", at the start of a word) in `text`, each once,
// sorted.
std::set<std::string> long_options(const std::string &text) {
    static const std::regex option("(^|[\\s\\[|])(--[a-z][a-z-]*)");
    std::set<std::string> found;
    for (std::sregex_iterator it(text.begin(), text.end(), option), end; it != end; ++it)
        found.insert(it->str(2));
    return found;
}

std::string joined(const std::vector<std::string> &words, const char *separator) {
    std::string text;
    for (const std::string &w : words)
        text += (text.empty() ? "" : separator) + w;
    return text;
}

// What `vorn --help` says: its two usage lines, the global options, the
// long options every command takes and one synopsis per command.
struct Help {
    std::string text;
    std::vector<std::string> usage, globals, common, synopses;
};

Help read_help() {
    Help help;
    const ToolRun run = run_tool("--help");
    EXPECT_EQ(run.exit_code, 0) << run.err;
    help.text = run.out;
    const std::vector<std::string> lines = lines_of(run.out);
    std::string section;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string &line = lines[i];
        if (i == 0 && line.rfind("usage: ", 0) == 0)
            help.usage.push_back(line.substr(7));
        else if (i == 1)
            help.usage.push_back(trimmed(line));
        else if (!line.empty() && line[0] != ' ')
            section = line;
        else if (line.size() > 2 && line[2] != ' ' && section == "global options:")
            help.globals.push_back(line.substr(2, line.find(' ', 2) - 2));
        else if (section == "options of every command:" && !line.empty())
            help.common.push_back(*long_options(line).begin());
        else if (line.size() > 2 && line[2] != ' ' && section.starts_with("commands")) {
            // A synopsis too long for its column stands alone on its line.
            const bool alone = i + 1 < lines.size() && lines[i + 1].rfind("   ", 0) == 0;
            help.synopses.push_back(trimmed(alone ? line : line.substr(0, 42)));
        }
    }
    return help;
}

// A row of the compiler's key table: the key and how many of its letters
// are compared (0: the whole word).
struct KeyRow {
    std::string key;
    size_t prefix;
};

// The rows of src/parser/key_table.cpp, read from its source: the table is
// internal to the parser.  The row count of its static_assert guards the
// reading.
std::vector<KeyRow> key_table_rows() {
    const std::string source = read_file(kSource + "/src/parser/key_table.cpp");
    static const std::regex row(R"re(\{"([^"]+)",\s*(kWholeWord|\d+),\s*key_\w+\})re");
    std::vector<KeyRow> rows;
    for (std::sregex_iterator it(source.begin(), source.end(), row), end; it != end; ++it)
        rows.push_back({it->str(1), it->str(2) == "kWholeWord" ? 0 : std::stoul(it->str(2))});
    std::smatch count;
    EXPECT_TRUE(std::regex_search(source, count, std::regex(R"(std::size\(kKeyTable\) == (\d+))")));
    EXPECT_EQ(std::to_string(rows.size()), count.str(1)) << "rows read from key_table.cpp";
    return rows;
}

bool same_letters(const std::string &a, const std::string &b, size_t n) {
    if (a.size() < n || b.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The key of each entry of the page's section `wanted` (KEYS, UNITS AND
// RANGES): the first word of the tag of every .TP outside .RS/.RE, up to its
// first character that cannot be part of a key ("[" alone for the period
// heading).
std::vector<std::string> documented_keys(const std::string &page, const std::string &wanted) {
    std::vector<std::string> keys;
    std::string section;
    int depth = 0;
    bool tag_next = false;
    for (const std::string &line : lines_of(page)) {
        if (line.rfind(".SH", 0) == 0)
            section = trimmed(line.substr(3));
        else if (section != wanted || line.rfind(".PD", 0) == 0)
            continue;
        else if (line.rfind(".RS", 0) == 0)
            ++depth;
        else if (line.rfind(".RE", 0) == 0)
            --depth;
        else if (line == ".TP")
            tag_next = depth == 0;
        else if (tag_next) {
            tag_next = false;
            std::string tag = line.substr(std::min(line.find(' '), line.size()));
            tag = tag.substr(std::min(tag.find_first_not_of(" \""), tag.size()));
            size_t end = 0;
            while (end < tag.size() &&
                   (std::isalnum(static_cast<unsigned char>(tag[end])) || tag[end] == '_'))
                ++end;
            keys.push_back(tag.empty() || tag[0] != '[' ? tag.substr(0, end) : "[");
        }
    }
    return keys;
}

} // namespace

TEST(ToolDocs, ManualPageRendersCleanlyAndNamesWhatTheHelpNames) {
    if (!have_program("groff"))
        GTEST_SKIP() << "groff is not installed";
    const std::string page = shell_quote(kSource + "/doc/vorn.1");
    const ToolRun lint = run_shell("groff -man -ww -z " + page);
    EXPECT_EQ(lint.exit_code, 0);
    EXPECT_EQ(lint.out + lint.err, "") << "groff warns about the manual page";

    // Wide enough that no synopsis wraps; plain text without overstrikes.
    const ToolRun rendered = run_shell("groff -man -Tascii -rLL=400n -P-cbou " + page);
    ASSERT_EQ(rendered.exit_code, 0) << rendered.err;
    std::vector<std::string> synopsis;
    std::string section;
    for (const std::string &line : lines_of(rendered.out)) {
        if (!line.empty() && line[0] != ' ')
            section = line;
        else if (section == "SYNOPSIS" && !trimmed(line).empty())
            synopsis.push_back(trimmed(line));
    }

    const Help help = read_help();
    std::vector<std::string> expected = help.usage;
    for (const std::string &s : help.synopses)
        expected.push_back("vorn " + s);
    EXPECT_EQ(joined(synopsis, "\n"), joined(expected, "\n"));
    EXPECT_EQ(long_options(rendered.out), long_options(help.text));
}

TEST(ToolDocs, BashCompletionOffersTheCommandsOptionsAndFilesOfTheHelp) {
    if (!have_program("bash"))
        GTEST_SKIP() << "bash is not installed";
    const Help help = read_help();
    ASSERT_FALSE(help.synopses.empty());

    // Each row: the words typed (a trailing blank starts an empty word) and
    // what completes, sorted, separated by blanks.
    std::vector<std::pair<std::string, std::string>> rows = {
        {"vorn co", "compile"},
        {"vorn compile --l", "--listings"},
        {"vorn password encode --q", "--quiet"},
        {"vorn --debug --tool-name X co", "compile"},
        {"vorn compile examples/vorn-box.c", "examples/vorn-box.cfg"},
        {"vorn calls x --csv examples/vorn-box.c", "examples/vorn-box.cfg"},
        {"vorn alarm x --source ", ""},
        {"vorn password ", "decode encode"},
        // Configurations, binary files or either, where the operand wants them.
        {"vorn check examples/", "examples/vorn-box.cfg"},
        {"vorn info examples/", "examples/calls.bin examples/events.bin examples/trace.bin"},
        {"vorn compile x.cfg examples/",
         "examples/calls.bin examples/events.bin examples/trace.bin"},
        {"vorn route examples/",
         "examples/calls.bin examples/events.bin examples/trace.bin examples/vorn-box.cfg"},
        {"vorn route examples/vorn-box.cfg ", ""},
        {"vorn route x --service ", "data dtmf voice"},
        {"vorn calls --csv examples/R", "examples/README.md"},
    };
    std::set<std::string> globals(help.globals.begin(), help.globals.end());
    rows.push_back({"vorn -", joined({globals.begin(), globals.end()}, " ")});
    std::set<std::string> names;
    for (const std::string &synopsis : help.synopses) {
        const std::string name = synopsis.substr(0, synopsis.find(' '));
        names.insert(name);
        std::set<std::string> options = long_options(synopsis);
        options.insert(help.common.begin(), help.common.end());
        rows.push_back({"vorn " + name + " --", joined({options.begin(), options.end()}, " ")});
    }
    rows.push_back({"vorn ", joined({names.begin(), names.end()}, " ")});

    TempDir dir;
    std::string script = "source " + shell_quote(kSource + "/tools/vorn/vorn.bash-completion") +
                         "\ncd " + shell_quote(kSource) + "\n";
    for (const auto &[typed, completions] : rows)
        script += "line=" + shell_quote(typed) +
                  "\nread -ra COMP_WORDS <<<\"$line\"; [[ $line == *' ' ]] && COMP_WORDS+=('')\n"
                  "COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMPREPLY=(); _vorn\n"
                  "printf '%s\\n' \"${COMPREPLY[@]}\" | LC_ALL=C sort | paste -sd' ' -\n";
    write_file(dir.file("complete.bash"), script);
    const ToolRun run = run_shell("bash " + shell_quote(dir.file("complete.bash")));
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::string actual;
    const std::vector<std::string> got = lines_of(run.out);
    for (size_t i = 0; i < rows.size(); ++i)
        actual += rows[i].first + " -> " + (i < got.size() ? got[i] : "(nothing)") + "\n";
    std::string wanted;
    for (const auto &[typed, completions] : rows)
        wanted += typed + " -> " + completions + "\n";
    EXPECT_EQ(actual, wanted);
}

TEST(ToolDocs, ConfigurationPageDocumentsEveryKeyOfTheCompiler) {
    const std::string page_path = kSource + "/doc/vorn-config.5";
    if (have_program("groff")) {
        const ToolRun lint = run_shell("groff -man -ww -z " + shell_quote(page_path));
        EXPECT_EQ(lint.exit_code, 0);
        EXPECT_EQ(lint.out + lint.err, "") << "groff warns about vorn-config(5)";
    }
    const std::vector<KeyRow> rows = key_table_rows();
    const std::string page = read_file(page_path);
    // Both the description of the keys and the table of their units and
    // ranges hold one entry per key.
    for (const char *section : {"KEYS", "UNITS AND RANGES"}) {
        SCOPED_TRACE(std::string("section ") + section);
        const std::vector<std::string> documented = documented_keys(page, section);
        ASSERT_FALSE(documented.empty());

        // Each documented key goes to the row the compiler's dispatch picks (the
        // first that matches) and must be named as that row, except the entries
        // of the MapCallBack row, which are its sub-keys (MapCallBackWaitAlert,
        // MapCallBackPin, ...); the keys that the driver reads before the table
        // match no row.
        const std::string sub_key_row = "MapCallBack";
        const std::set<std::string> driver_keys = {"COMMENT", "PABXName", "RemotePassword"};
        std::set<std::string> covered, unmatched, misnamed;
        for (const std::string &key : documented) {
            const auto row = std::find_if(rows.begin(), rows.end(), [&](const KeyRow &r) {
                return r.prefix == 0
                           ? key.size() == r.key.size() && same_letters(key, r.key, key.size())
                           : same_letters(key, r.key, r.prefix);
            });
            if (row == rows.end())
                unmatched.insert(key);
            else if (row->key == sub_key_row ? !same_letters(key, row->key, row->key.size())
                                             : key.size() != row->key.size() ||
                                                   !same_letters(key, row->key, key.size()))
                misnamed.insert(key + " (read as " + row->key + ")");
            else
                covered.insert(row->key);
        }
        std::set<std::string> all_rows;
        for (const KeyRow &r : rows)
            all_rows.insert(r.key);
        EXPECT_EQ(joined({covered.begin(), covered.end()}, " "),
                  joined({all_rows.begin(), all_rows.end()}, " "))
            << "keys of the compiler without an entry in vorn-config(5)";
        EXPECT_EQ(joined({unmatched.begin(), unmatched.end()}, " "),
                  joined({driver_keys.begin(), driver_keys.end()}, " "))
            << "entries of vorn-config(5) that are no key of the compiler";
        EXPECT_EQ(joined({misnamed.begin(), misnamed.end()}, ", "), "");
    }
}

namespace {

// The words of a macro line's arguments; a quoted argument is one word.
std::vector<std::string> macro_words(const std::string &text) {
    std::vector<std::string> words;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == ' ') {
            ++i;
        } else if (text[i] == '"') {
            const size_t end = std::min(text.find('"', i + 1), text.size());
            words.push_back(text.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            const size_t end = std::min(text.find(' ', i), text.size());
            words.push_back(text.substr(i, end - i));
            i = end;
        }
    }
    return words;
}

std::string unescaped(const std::string &text) {
    static const std::pair<std::regex, std::string> kEscapes[] = {
        {std::regex(R"(\\-)"), "-"},      {std::regex(R"(\\\(lq|\\\(rq)"), "\""},
        {std::regex(R"(\\f[RPIB])"), ""}, {std::regex(R"(\\ )"), " "},
        {std::regex(R"(\\&)"), ""},
    };
    std::string out = text;
    for (const auto &[pattern, replacement] : kEscapes)
        out = std::regex_replace(out, pattern, replacement);
    return out;
}

// A line of the page as plain text.  In a tag, an italic argument (a
// placeholder) is written <word>, so "MapOut escape" reads MapOut<escape>.
std::string plain_line(const std::string &line, bool tag) {
    static const std::regex kFonts(R"(^\.(BI|IB|BR|RB|IR|RI|B|I|SM)(?: (.*))?$)");
    std::smatch m;
    if (line.empty() || line[0] != '.')
        return unescaped(line);
    if (!std::regex_match(line, m, kFonts))
        return "";
    const std::string macro = m.str(1);
    const std::vector<std::string> words = macro_words(m.str(2));
    std::string out;
    for (size_t i = 0; i < words.size(); ++i) {
        if (macro.size() == 1 || macro == "SM") {
            out += (i == 0 ? "" : " ") + words[i];
            continue;
        }
        std::string word = words[i];
        if (tag && macro[i % 2] == 'I' && word.find("\\f") == std::string::npos) {
            std::string bracketed;
            for (const std::string &w : macro_words(word))
                bracketed += (bracketed.empty() ? "<" : " <") + w + ">";
            word = bracketed;
        }
        out += word;
    }
    return unescaped(out);
}

// The entries of UNITS AND RANGES: the form of each tag and the first
// paragraph of its entry (up to .br), as plain text.
std::vector<std::pair<std::string, std::string>> unit_entries(const std::string &page) {
    std::vector<std::pair<std::string, std::string>> entries; // form, range
    std::string section, range;
    size_t group = 0; // first entry of the tags that share the body
    bool tag_next = false, grouping = false, in_range = false;
    int depth = 0; // inside .RS/.RE: the parts of an entry, no entries
    const auto finish = [&]() {
        if (!in_range)
            return;
        range = std::regex_replace(range, std::regex(" +"), " ");
        range = trimmed(range);
        for (size_t i = group; i < entries.size(); ++i)
            entries[i].second = range;
        range.clear();
        in_range = false;
    };
    for (const std::string &line : lines_of(page)) {
        if (line.rfind(".SH", 0) == 0) {
            if (section == "UNITS AND RANGES")
                finish();
            section = trimmed(line.substr(3));
        } else if (section != "UNITS AND RANGES") {
            continue;
        } else if (line.rfind(".RS", 0) == 0 || line.rfind(".RE", 0) == 0) {
            depth += line[2] == 'S' ? 1 : -1;
        } else if (depth > 0) {
            continue;
        } else if (line == ".PD 0") {
            grouping = true;
        } else if (line == ".PD") {
            grouping = false;
        } else if (line == ".TP") {
            tag_next = true;
        } else if (tag_next) {
            tag_next = false;
            if (!(grouping && in_range && trimmed(range).empty())) {
                finish();
                group = entries.size();
            }
            entries.push_back({plain_line(line, true), ""});
            in_range = true;
        } else if (line.rfind(".br", 0) == 0 || line.rfind(".PP", 0) == 0 ||
                   line.rfind(".IP", 0) == 0) {
            if (in_range)
                finish();
        } else if (in_range) {
            range += " " + plain_line(line, false);
        }
    }
    return entries;
}

} // namespace

// The hover of a key shows the row of key_docs.cpp; the page's UNITS AND
// RANGES entries must say the same, entry for entry and word for word.
TEST(ToolDocs, KeyHoverTableMatchesTheUnitsAndRangesOfTheConfigurationPage) {
    const std::vector<std::pair<std::string, std::string>> page =
        unit_entries(read_file(kSource + "/doc/vorn-config.5"));
    std::string on_page, in_table;
    for (const auto &[form, range] : page)
        on_page += form + "\n  " + range + "\n";
    for (const vorn::KeyDoc &doc : vorn::key_docs())
        in_table += std::string(doc.form) + "\n  " + doc.range + "\n";
    EXPECT_EQ(in_table, on_page);
    // Every key the hover finds is documented by the row of its own name.
    for (const vorn::KeyDoc &doc : vorn::key_docs()) {
        const std::string word = std::string(doc.key) + "12";
        const vorn::KeyDoc *found =
            vorn::key_doc_of(word.c_str(), static_cast<unsigned>(word.size()));
        EXPECT_TRUE(found == &doc ||
                    (found != nullptr && std::strlen(found->key) > std::strlen(doc.key)))
            << doc.key;
    }
}
