// The language server's dispatch, life cycle, documents and diagnostics
// (see lsp_server.h); the answers about a place in a document are in
// lsp_features.cpp.
#include "lsp_server.h"

#include <algorithm>
#include <cstdio>

namespace vorn::tool::lsp {

namespace {

// JSON-RPC and LSP error codes.
constexpr int kParseError = -32700;
constexpr int kInvalidRequest = -32600;
constexpr int kMethodNotFound = -32601;
constexpr int kInvalidParams = -32602;
constexpr int kInternalError = -32603;
constexpr int kServerNotInitialized = -32002;

// LSP's DiagnosticSeverity.
int lsp_severity(Severity s) {
    return s == Severity::Error ? 1 : s == Severity::Warning ? 2 : 3;
}

bool capability(const nlohmann::json &params, std::initializer_list<const char *> path) {
    const nlohmann::json *at = &params;
    for (const char *name : path) {
        if (!at->is_object() || !at->contains(name))
            return false;
        at = &(*at)[name];
    }
    return at->is_boolean() && at->get<bool>();
}

} // namespace

void Server::send(const json &message) {
    const std::string body = message.dump(-1, ' ', false, json::error_handler_t::replace);
    if (m_log)
        std::fprintf(stderr, "vorn lsp: <- %s\n", body.c_str());
    // Appended in place: a document's diagnostics may take a megabyte.
    m_output.append("Content-Length: ").append(std::to_string(body.size())).append("\r\n\r\n");
    m_output.append(body);
}

void Server::reply(const json &id, json result) {
    send({{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}});
}

void Server::fail(const json &id, int code, const std::string &message) {
    send({{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
}

std::string Server::take_output() {
    std::string out;
    out.swap(m_output);
    return out;
}

void Server::handle(const Frame &frame, Clock::time_point now) {
    if (frame.kind != Frame::Body) {
        fail(nullptr, frame.kind == Frame::TooLarge ? kInvalidRequest : kParseError, frame.body);
        return;
    }
    if (m_log)
        std::fprintf(stderr, "vorn lsp: -> %s\n", frame.body.c_str());
    json message = json::parse(frame.body, nullptr, false);
    if (message.is_discarded()) {
        fail(nullptr, kParseError, "the message is no JSON");
        return;
    }
    dispatch(message, now);
}

void Server::dispatch(const json &message, Clock::time_point now) {
    if (!message.is_object()) {
        fail(nullptr, kInvalidRequest, "a message is a JSON object");
        return;
    }
    const bool has_id = message.contains("id");
    const json id = has_id ? message["id"] : json(nullptr);
    if (has_id && !id.is_number_integer() && !id.is_string() && !id.is_null()) {
        fail(nullptr, kInvalidRequest, "an id is a number or a string");
        return;
    }
    if (!message.contains("method")) {
        if (!message.contains("result") && !message.contains("error"))
            fail(id, kInvalidRequest, "a request names its method");
        return; // an answer to a request of ours: the server sends none
    }
    if (!message["method"].is_string() || message.value("jsonrpc", json()) != "2.0") {
        if (has_id)
            fail(id, kInvalidRequest, "not a JSON-RPC 2.0 request");
        return;
    }
    const std::string method = message["method"].get<std::string>();
    const json params = message.contains("params") ? message["params"] : json::object();
    try {
        if (has_id)
            request(method, params, id);
        else
            notification(method, params, now);
    } catch (const json::exception &e) {
        if (has_id)
            fail(id, kInvalidParams, std::string("invalid params: ") + e.what());
    } catch (const std::exception &e) {
        if (has_id)
            fail(id, kInternalError, e.what());
    }
}

void Server::request(const std::string &method, const json &params, const json &id) {
    if (method == "initialize") {
        if (m_initialized)
            return fail(id, kInvalidRequest, "the server is initialized already");
        m_initialized = true;
        return reply(id, initialize(params));
    }
    if (!m_initialized)
        return fail(id, kServerNotInitialized, "the server is not initialized");
    if (m_shutdown)
        return fail(id, kInvalidRequest, "the server is shut down");
    if (method == "shutdown") {
        m_shutdown = true;
        return reply(id, nullptr);
    }
    if (method == "textDocument/hover")
        return reply(id, hover(params));
    if (method == "textDocument/completion")
        return reply(id, completion(params));
    if (method == "textDocument/codeAction")
        return reply(id, code_actions(params));
    if (method == "textDocument/documentSymbol")
        return reply(id, symbols(params));
    fail(id, kMethodNotFound, "unknown method " + method);
}

void Server::notification(const std::string &method, const json &params, Clock::time_point now) {
    if (method == "exit") {
        m_exited = true;
        return;
    }
    if (!m_initialized || m_shutdown)
        return; // notifications before initialize or after shutdown are dropped
    if (method == "textDocument/didOpen")
        open(params);
    else if (method == "textDocument/didChange")
        change(params, now);
    else if (method == "textDocument/didSave") {
        if (Document *doc = document(params); doc != nullptr && doc->stale)
            check(*doc, params["textDocument"]["uri"].get<std::string>());
    } else if (method == "textDocument/didClose") {
        const std::string uri = params.at("textDocument").at("uri").get<std::string>();
        if (m_documents.erase(uri) != 0)
            send({{"jsonrpc", "2.0"},
                  {"method", "textDocument/publishDiagnostics"},
                  {"params", {{"uri", uri}, {"diagnostics", json::array()}}}});
    }
    // Other notifications ($/cancelRequest, initialized, ...) need nothing.
}

Server::json Server::initialize(const json &params) {
    const json caps = params.is_object() ? params.value("capabilities", json::object()) : json();
    m_code_links =
        capability(caps, {"textDocument", "publishDiagnostics", "codeDescriptionSupport"});
    m_hierarchical =
        capability(caps, {"textDocument", "documentSymbol", "hierarchicalDocumentSymbolSupport"});
    return {{"capabilities",
             {{"positionEncoding", "utf-16"},
              {"textDocumentSync",
               {{"openClose", true}, {"change", 2}, {"save", {{"includeText", false}}}}},
              {"hoverProvider", true},
              {"completionProvider", {{"triggerCharacters", {"["}}}},
              {"codeActionProvider", {{"codeActionKinds", {"quickfix"}}}},
              {"documentSymbolProvider", true}}},
            {"serverInfo", {{"name", "vorn"}}}};
}

Document *Server::document(const json &params) {
    const auto it = m_documents.find(params.at("textDocument").at("uri").get<std::string>());
    return it == m_documents.end() ? nullptr : &it->second;
}

void Server::open(const json &params) {
    const json &item = params.at("textDocument");
    const std::string uri = item.at("uri").get<std::string>();
    Document &doc = m_documents[uri];
    doc = Document{};
    doc.text = item.at("text").get<std::string>();
    doc.version = item.value("version", 0);
    check(doc, uri); // an opened file is shown checked at once
}

void Server::change(const json &params, Clock::time_point now) {
    Document *doc = document(params);
    if (doc == nullptr)
        return;
    for (const json &c : params.at("contentChanges")) {
        if (!c.contains("range")) {
            doc->text = c.at("text").get<std::string>();
            continue;
        }
        const json &r = c.at("range");
        const Position from{r.at("start").at("line").get<int>(),
                            r.at("start").at("character").get<int>()};
        const Position to{r.at("end").at("line").get<int>(),
                          r.at("end").at("character").get<int>()};
        replace_range(doc->text, from, to, c.at("text").get<std::string>());
    }
    doc->version = params.at("textDocument").value("version", doc->version);
    doc->stale = true;
    doc->due = now + kSettle;
}

void Server::check(Document &doc, const std::string &uri) {
    doc.analysis = analyse(doc.text);
    doc.checked = true;
    doc.stale = false;
    json params(json::value_t::object);
    params["uri"] = uri;
    params["version"] = doc.version;
    params["diagnostics"] = diagnostics(doc); // moved, not copied as a list would
    json message(json::value_t::object);
    message["jsonrpc"] = "2.0";
    message["method"] = "textDocument/publishDiagnostics";
    message["params"] = std::move(params);
    send(message);
}

Document &Server::checked(Document &doc, const std::string &uri) {
    if (doc.stale)
        check(doc, uri);
    return doc;
}

void Server::run_due(Clock::time_point now) {
    for (auto &[uri, doc] : m_documents)
        if (doc.stale && doc.due <= now)
            check(doc, uri);
}

int Server::wait_ms(Clock::time_point now) const {
    int wait = -1;
    for (const auto &[uri, doc] : m_documents)
        if (doc.stale) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(doc.due - now).count();
            const int ms = static_cast<int>(std::clamp<long long>(left, 0, 60000));
            wait = wait < 0 ? ms : std::min(wait, ms);
        }
    return wait;
}

namespace {

// {"line": L, "character": C}, built member by member: a document of
// thousands of findings makes tens of thousands of these objects, and the
// nested initializer lists copy each one again.
nlohmann::json place(int line, int character) {
    nlohmann::json p(nlohmann::json::value_t::object);
    p["line"] = line;
    p["character"] = character;
    return p;
}

} // namespace

Server::json Server::diagnostics(const Document &doc) const {
    const std::vector<std::string_view> lines = lines_of(doc.text);
    json list(json::value_t::array);
    list.get_ref<json::array_t &>().reserve(doc.analysis.findings.size());
    for (const Finding &f : doc.analysis.findings) {
        const int line = std::clamp(f.line - 1, 0, static_cast<int>(lines.size()) - 1);
        const std::string_view text = lines[static_cast<size_t>(line)];
        int from = 0, to = utf16_units(text, text.size());
        if (f.line > 0 && f.column > 0) {
            from = utf16_units(text, static_cast<size_t>(f.column - 1));
            to = utf16_units(text, static_cast<size_t>(f.column - 1 + f.length));
        } else if (f.line == 0)
            to = 0;
        json range(json::value_t::object);
        range["start"] = place(line, from);
        range["end"] = place(line, to);
        json d(json::value_t::object);
        d["range"] = std::move(range);
        d["severity"] = lsp_severity(f.severity);
        d["source"] = "vorn";
        d["message"] = f.text;
        if (!f.name.empty()) {
            d["code"] = f.name;
            if (m_code_links) { // the finding's entry in CHECKS of the manual page
                json link(json::value_t::object);
                link["href"] = "man:vorn-config(5)#" + f.name;
                d["codeDescription"] = std::move(link);
            }
        }
        list.push_back(std::move(d));
    }
    return list;
}

} // namespace vorn::tool::lsp
