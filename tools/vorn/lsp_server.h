// The language server of `vorn lsp`: reads JSON-RPC messages, keeps the
// open documents and answers with diagnostics, hovers, completions, quick
// fixes and outlines.  It runs on one thread and owns no file: what it
// writes is collected as framed messages that the caller sends to the
// client, and a changed document is checked once its changes have settled
// (or at once when a request needs its check).
#pragma once

#include "lsp_documents.h"
#include "lsp_framing.h"

#include <nlohmann/json.hpp>

#include <map>
#include <optional>
#include <string>

namespace vorn::tool::lsp {

// A changed document is checked this long after its last change.
inline constexpr std::chrono::milliseconds kSettle{150};

class Server {
  public:
    // With `log`, each message read and written is noted on standard error.
    explicit Server(bool log = false) : m_log(log) {}

    // Handles one frame read from the client.
    void handle(const Frame &frame, Clock::time_point now);
    // Checks the documents whose changes have settled by `now`.
    void run_due(Clock::time_point now);
    // How long the caller may wait for input before run_due has work; -1
    // for ever.
    int wait_ms(Clock::time_point now) const;

    // The framed messages to send, taken out.
    std::string take_output();
    bool finished() const { return m_exited; }
    // 0 after shutdown and exit, 1 when the client went without shutdown.
    int exit_code() const { return m_shutdown ? 0 : 1; }

  private:
    using json = nlohmann::json;

    void dispatch(const json &message, Clock::time_point now);
    void request(const std::string &method, const json &params, const json &id);
    void notification(const std::string &method, const json &params, Clock::time_point now);
    void reply(const json &id, json result);
    void fail(const json &id, int code, const std::string &message);
    void send(const json &message);

    json initialize(const json &params);
    void open(const json &params);
    void change(const json &params, Clock::time_point now);
    Document *document(const json &params);
    Document &checked(Document &doc, const std::string &uri);
    void check(Document &doc, const std::string &uri);
    json diagnostics(const Document &doc) const;

    json hover(const json &params);
    json completion(const json &params);
    json code_actions(const json &params);
    json symbols(const json &params);

    bool m_log;
    bool m_initialized = false, m_shutdown = false, m_exited = false;
    bool m_code_links = false;   // the client shows codeDescription
    bool m_hierarchical = false; // the client takes DocumentSymbol trees
    std::map<std::string, Document> m_documents;
    std::string m_output;
};

} // namespace vorn::tool::lsp
