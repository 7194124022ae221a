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
    return run_tool("lsp < " + shell_quote(dir.file("in")) + " 2>" +
                    shell_quote(dir.file("err")));
}

// Three faults: a word behind a duration (after letters of two and four
// bytes, so its range shows the client's UTF-16 columns), a misspelt key
// and a heading without its "]"; and a map that a later line repeats.
const std::string kConfig = "; the configuration of an editor session\n"
                            "TABLE=TF01.5\n"
                            "CountryCode=49\n"
                            "EmergencyPause=0:15 Gr\xC3\xBC\xC3\x9F" "e\xF0\x9F\x98\x80x\n"
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
    in += notification("textDocument/didOpen",
                       R"({"textDocument":{"uri":")" + kUri +
                           R"(","languageId":"vorn","version":1,"text":)" + json_string(kConfig) + "}}");
    in += request(2, "textDocument/hover", at(3, 2));
    in += request(3, "textDocument/codeAction",
                  R"({"textDocument":)" + doc + R"(,"range":)" + range(0, 0, 12, 0) +
                      R"(,"context":{"diagnostics":[]}})");
    // Two edits in one change: the word behind the duration goes (its end
    // given in UTF-16 units), and the quick fix of the key is applied.
    in += notification("textDocument/didChange",
                       R"({"textDocument":{"uri":")" + kUri + R"(","version":2},"contentChanges":[)"
                       R"({"range":)" + range(3, 19, 3, 28) + R"(,"text":""},)"
                       R"({"range":)" + range(5, 0, 5, 9) + R"(,"text":"MapOut0190"}]})");
    in += request(4, "textDocument/hover", at(10, 3));
    in += request(5, "textDocument/hover", at(7, 12));
    in += request(6, "textDocument/completion", at(3, 3));
    in += request(7, "textDocument/completion", at(10, 8));
    in += request(8, "textDocument/completion", at(11, 17));
    in += request(9, "textDocument/documentSymbol", R"({"textDocument":)" + doc + "}");
    in += request(10, "textDocument/definition", at(3, 2));
    in += notification("textDocument/didChange",
                       R"({"textDocument":{"uri":")" + kUri +
                           R"(","version":3},"contentChanges":[{"text":)" + json_string(fixed) + "}]}");
    in += notification("textDocument/didSave", R"({"textDocument":)" + doc + "}");
    in += request(11, "shutdown", "null");
    in += notification("exit", "null");
    const ToolRun run = serve(dir, in);
    expect_golden("lsp/session.txt", transcript(run));
    EXPECT_EQ(read_file(dir.file("err")), "") << "the server logs only with -v";
}
