// Feeds arbitrary bytes to the language server as its standard input would
// bring them, in pieces of the sizes the first bytes choose: broken
// headers, lengths past the cap, bodies that are no JSON, messages of every
// method with params of every shape.  The server must answer only in whole
// frames whose bodies are JSON-RPC 2.0 objects, and never throw.
#include "fuzz_input.h"
#include "vorn/lsp_framing.h"
#include "vorn/lsp_server.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace {

// The server's output read back: every frame a JSON object of version 2.0.
void require_protocol(const std::string &output) {
    vorn::tool::lsp::FrameReader reader;
    reader.feed(output.data(), output.size());
    vorn::tool::lsp::Frame frame;
    size_t frames = 0;
    while (reader.next(frame)) {
        fuzz::require(frame.kind == vorn::tool::lsp::Frame::Body);
        const nlohmann::json body = nlohmann::json::parse(frame.body, nullptr, false);
        fuzz::require(body.is_object() && body.value("jsonrpc", "") == "2.0");
        ++frames;
    }
    fuzz::require(output.empty() || frames > 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    using namespace vorn::tool::lsp;
    fuzz::Bytes in{data, size};
    const size_t piece = 1 + in.byte() % 64;
    Server server;
    FrameReader reader;
    Clock::time_point now{};
    std::string output;
    for (size_t at = in.at; at < size && !server.finished(); at += piece) {
        reader.feed(reinterpret_cast<const char *>(data) + at, std::min(piece, size - at));
        Frame frame;
        while (!server.finished() && reader.next(frame))
            server.handle(frame, now);
        now += std::chrono::milliseconds(50);
        server.run_due(now);
        output += server.take_output();
    }
    server.run_due(now + std::chrono::hours(1));
    output += server.take_output();
    require_protocol(output);
    return 0;
}
