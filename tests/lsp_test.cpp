// vorn lsp as an editor meets it: a scripted session whose replies are
// compared with a transcript, and hostile input after which the server
// still answers.  The messages go to the tool's standard input all at
// once; a request on a changed document has it checked first, so the
// transcript does not depend on timing.
#include "support/log_golden.h"
#include "support/run_tool.h"
#include "support/trace_capture.h"

#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

using namespace vorn::test;

namespace {

std::string framed(const std::string &body) {
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// `text` as a JSON string.
std::string json_string(const std::string &text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out += std::string("\\") + c;
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out + "\"";
}

std::string request(int id, const std::string &method, const std::string &params) {
    return framed(R"({"jsonrpc":"2.0","id":)" + std::to_string(id) + R"(,"method":")" + method +
                  R"(","params":)" + params + "}");
}

std::string notification(const std::string &method, const std::string &params) {
    return framed(R"({"jsonrpc":"2.0","method":")" + method + R"(","params":)" + params + "}");
}

const std::string kUri = "file:///work/box.cfg";

std::string at(int line, int character) {
    return R"({"textDocument":{"uri":")" + kUri + R"("},"position":{"line":)" +
           std::to_string(line) + R"(,"character":)" + std::to_string(character) + "}}";
}

std::string range(int l1, int c1, int l2, int c2) {
    return R"({"start":{"line":)" + std::to_string(l1) + R"(,"character":)" + std::to_string(c1) +
           R"(},"end":{"line":)" + std::to_string(l2) + R"(,"character":)" + std::to_string(c2) +
           "}}";
}

// The bodies the server wrote, one a line, and its exit code; a frame
// that does not parse is shown as such.
std::string transcript(const ToolRun &run) {
    std::string out;
    const std::string &s = run.out;
    size_t i = 0;
    while (i < s.size()) {
        const size_t end = s.find("\r\n\r\n", i);
        std::smatch m;
        const std::string header = s.substr(i, end == std::string::npos ? s.npos : end - i);
        if (end == std::string::npos ||
            !std::regex_match(header, m, std::regex(R"(Content-Length: (\d+))"))) {
            out += "(not a frame: " + printable(s.substr(i)) + ")\n";
            break;
        }
        const size_t length = std::stoul(m.str(1));
        out += printable(s.substr(end + 4, length)) + "\n";
        i = end + 4 + length;
    }
    return out + "exit code " + std::to_string(run.exit_code) + "\n";
}

ToolRun serve(const TempDir &dir, const std::string &input) {
    write_file(dir.file("in"), input);
    return run_tool("lsp < " + shell_quote(dir.file("in")) + " 2>" + shell_quote(dir.file("err")));
}

// Three faults: a word behind a duration (after letters of two and four
// bytes, so its range shows the client's UTF-16 columns), a misspelt key
// and a heading without its "]"; and a map that a later line repeats.
const std::string kConfig = "; the configuration of an editor session\n"
                            "TABLE=TF01.5\n"
                            "CountryCode=49\n"
                            "EmergencyPause=0:15 Gr\xC3\xBC\xC3\x9F"
                            "e\xF0\x9F\x98\x80x\n"
                            "ProtExt=DSS1 PMP\n"
                            "MapOt0190=0 VOICE\n"
                            "MapOut0421=0421\n"
                            "MapOut0421=0421\n"
                            "[08:00 MO TU WE TH FR\n"
                            "MapOut00=0100900 60 1/1\n"
                            "[18:00] MO TU WE TH FR\n"
                            "MapOut00=0101900 120 1/1\n"
                            "; ------------------------------------------------------------\n";

} // namespace

TEST(LanguageServer, ScriptedSessionMatchesItsTranscript) {
    TempDir dir;
    std::string fixed = kConfig;
    fixed = std::regex_replace(fixed, std::regex(" Gr.*x\n"), "\n");
    fixed = std::regex_replace(fixed, std::regex("MapOt0190"), "MapOut0190");
    fixed = std::regex_replace(fixed, std::regex(R"(\[08:00 )"), "[08:00] ");
    const std::string doc = R"({"uri":")" + kUri + R"("})";
    std::string in;
    in += request(1, "initialize",
                  R"({"processId":null,"rootUri":null,"capabilities":{"textDocument":{)"
                  R"("publishDiagnostics":{"codeDescriptionSupport":true},)"
                  R"("documentSymbol":{"hierarchicalDocumentSymbolSupport":true}}}})");
    in += notification("initialized", "{}");
    in += notification("textDocument/didOpen", R"({"textDocument":{"uri":")" + kUri +
                                                   R"(","languageId":"vorn","version":1,"text":)" +
                                                   json_string(kConfig) + "}}");
    in += request(2, "textDocument/hover", at(3, 2));
    in += request(3, "textDocument/codeAction",
                  R"({"textDocument":)" + doc + R"(,"range":)" + range(0, 0, 12, 0) +
                      R"(,"context":{"diagnostics":[]}})");
    // Two edits in one change: the word behind the duration goes (its end
    // given in UTF-16 units), and the quick fix of the key is applied.
    in += notification("textDocument/didChange", R"({"textDocument":{"uri":")" + kUri +
                                                     R"(","version":2},"contentChanges":[)"
                                                     R"({"range":)" +
                                                     range(3, 19, 3, 28) +
                                                     R"(,"text":""},)"
                                                     R"({"range":)" +
                                                     range(5, 0, 5, 9) +
                                                     R"(,"text":"MapOut0190"}]})");
    in += request(4, "textDocument/hover", at(10, 3));
    in += request(5, "textDocument/hover", at(7, 12));
    in += request(6, "textDocument/completion", at(3, 3));
    in += request(7, "textDocument/completion", at(10, 8));
    in += request(8, "textDocument/completion", at(11, 17));
    in += request(9, "textDocument/documentSymbol", R"({"textDocument":)" + doc + "}");
    in += request(10, "textDocument/definition", at(3, 2));
    in +=
        notification("textDocument/didChange", R"({"textDocument":{"uri":")" + kUri +
                                                   R"(","version":3},"contentChanges":[{"text":)" +
                                                   json_string(fixed) + "}]}");
    in += notification("textDocument/didSave", R"({"textDocument":)" + doc + "}");
    in += request(11, "shutdown", "null");
    in += notification("exit", "null");
    const ToolRun run = serve(dir, in);
    expect_golden("lsp/session.txt", transcript(run));
    EXPECT_EQ(read_file(dir.file("err")), "") << "the server logs only with -v";

#ifndef _WIN32
    // The same session writes no file: the check reads the editor's text
    // from memory.  The one file opened for writing is the library's
    // settings key, which every thread of the library opens (and creates).
    if (run_shell("command -v strace").exit_code == 0) {
        run_shell("strace -f -qq -e trace=open,openat,creat,memfd_create -o " +
                  shell_quote(dir.file("opens")) + " " + shell_quote(VORN_TOOL_PATH) + " lsp < " +
                  shell_quote(dir.file("in")) + " >/dev/null 2>&1");
        std::string writes;
        std::istringstream opens(read_file(dir.file("opens")));
        for (std::string line; std::getline(opens, line);)
            if (std::regex_search(line, std::regex("O_WRONLY|O_RDWR|O_CREAT|O_TMPFILE|creat\\(|"
                                                   "memfd_create")) &&
                line.find("/KEMAX.NMS/Settings\"") == std::string::npos)
                writes += line + "\n";
        EXPECT_EQ(writes, "");
    }
#endif
}

namespace {

// Each message of the server as "ID:ok", "ID:CODE" (an error) or "publish",
// then the exit code.
std::string outline(const ToolRun &run) {
    std::string out;
    static const std::regex kFrame(R"(Content-Length: (\d+)\r\n\r\n)");
    for (std::sregex_iterator it(run.out.begin(), run.out.end(), kFrame), end; it != end; ++it) {
        const std::string body = run.out.substr(
            static_cast<size_t>(it->position(0) + it->length(0)), std::stoul(it->str(1)));
        std::smatch m;
        if (body.find("\"method\":\"textDocument/publishDiagnostics\"") != std::string::npos)
            out += "publish ";
        else if (std::regex_search(body, m,
                                   std::regex(R"(^\{"error":\{"code":(-?\d+).*"id":([^,]+),)")))
            out += m.str(2) + ":" + m.str(1) + " ";
        else if (std::regex_search(body, m, std::regex(R"(^\{"id":([^,]+),.*"result")")))
            out += m.str(1) + ":ok ";
        else
            out += "(" + body + ") ";
    }
    return out + "exit " + std::to_string(run.exit_code);
}

} // namespace

// Whatever comes before or between the messages of a client, the server
// answers each malformed message with the JSON-RPC error for it (or
// nothing, for a notification), and then the client's next message as
// usual; at the end of its input it leaves without crashing or hanging.
TEST(LanguageServer, HostileInputLeavesTheServerAnswering) {
    const std::string hover =
        R"({"textDocument":{"uri":"file:///x.cfg"},"position":{"line":0,"character":0}})";
    const std::string initialize = request(1, "initialize", R"({"capabilities":{}})");
    const std::string shutdown = request(2, "shutdown", "null") + notification("exit", "null");
    struct Case {
        const char *name;
        std::string before, after; // around the initialize request
        std::string end;           // instead of shutdown and exit
        const char *expected;
    };
    const std::vector<Case> cases = {
        {"misspelt header", "Content-Lenght: 5\r\n\r\nhello", "", shutdown,
         "null:-32700 1:ok 2:ok exit 0"},
        {"header without end", std::string(9000, 'x'), "", shutdown,
         "null:-32700 1:ok 2:ok exit 0"},
        {"negative length", "Content-Length: -5\r\n\r\n", "", shutdown,
         "null:-32700 1:ok 2:ok exit 0"},
        {"huge length", "Content-Length: 99999999999999\r\n\r\n{\"a\":1}", "", shutdown,
         "null:-32600 1:ok 2:ok exit 0"},
        {"length beyond 64 bits", "Content-Length: 99999999999999999999999999\r\n\r\n", "",
         shutdown, "null:-32600 1:ok 2:ok exit 0"},
        {"bad JSON", framed("{\"jsonrpc\":\"2.0\",\"id\":"), "", shutdown,
         "null:-32700 1:ok 2:ok exit 0"},
        {"not an object", framed("[1,2]"), framed("\"text\""), shutdown,
         "null:-32600 1:ok null:-32600 2:ok exit 0"},
        {"request before initialize", request(7, "textDocument/hover", hover), "", shutdown,
         "7:-32002 1:ok 2:ok exit 0"},
        {"unknown methods", notification("vorn/unknown", "{}"),
         request(5, "workspace/unknown", "{}") + notification("workspace/unknown", "{}"), shutdown,
         "1:ok 5:-32601 2:ok exit 0"},
        {"wrong params", "",
         request(6, "textDocument/hover", R"({"position":"x"})") +
             request(7, "textDocument/hover", hover) +
             notification("textDocument/didChange", R"({"textDocument":5})"),
         shutdown, "1:ok 6:-32602 7:ok 2:ok exit 0"},
        {"wrong ids and versions", "",
         framed(R"({"jsonrpc":"2.0","id":{},"method":"shutdown"})") +
             framed(R"({"id":4,"method":"shutdown"})") +
             framed(R"({"jsonrpc":"2.0","id":3,"result":null})") + initialize,
         shutdown, "1:ok null:-32600 4:-32600 1:-32600 2:ok exit 0"},
        {"requests after shutdown", "", "",
         request(2, "shutdown", "null") + request(3, "textDocument/hover", hover) +
             notification("exit", "null"),
         "1:ok 2:ok 3:-32600 exit 0"},
        {"exit without shutdown", "", "", notification("exit", "null"), "1:ok exit 1"},
        {"end of input in a body", "", "", "Content-Length: 100\r\n\r\n{\"jsonrpc\"",
         "1:ok exit 1"},
        {"end of input in a header", "", "", "Content-Len", "1:ok exit 1"},
    };
    TempDir dir;
    for (const Case &c : cases) {
        const ToolRun run = serve(dir, c.before + initialize + c.after + c.end);
        EXPECT_EQ(outline(run), c.expected) << c.name;
        EXPECT_EQ(read_file(dir.file("err")), "") << c.name;
    }
}

// A run of changes typed fast is checked once, when the typing has paused:
// five changes in one burst, then a pause far longer than the server
// waits, then a request that does not touch the document.  The one
// publication, of the last version, comes before the answer.
TEST(LanguageServer, BurstOfChangesIsCheckedOnceAfterThePause) {
    TempDir dir;
    std::string burst = request(1, "initialize", R"({"capabilities":{}})") +
                        notification("textDocument/didOpen", R"({"textDocument":{"uri":")" + kUri +
                                                                 R"(","version":1,"text":)" +
                                                                 json_string(kConfig) + "}}");
    for (int version = 2; version <= 6; ++version)
        burst += notification("textDocument/didChange",
                              R"({"textDocument":{"uri":")" + kUri + R"(","version":)" +
                                  std::to_string(version) + R"(},"contentChanges":[{"range":)" +
                                  range(2, 12, 2, 14) + R"(,"text":"4)" + std::to_string(version) +
                                  R"("}]})");
    write_file(dir.file("burst"), burst);
    write_file(dir.file("end"), request(2, "shutdown", "null") + notification("exit", "null"));
    const ToolRun run =
        run_shell("(cat " + shell_quote(dir.file("burst")) + "; sleep 1; cat " +
                  shell_quote(dir.file("end")) + ") | " + shell_quote(VORN_TOOL_PATH) + " lsp");
    EXPECT_EQ(outline(run), "1:ok publish publish 2:ok exit 0");
    EXPECT_NE(run.out.find(R"("uri":"file:///work/box.cfg","version":6)"), std::string::npos);
    EXPECT_EQ(run.out.find(R"("version":5)"), std::string::npos);
}
