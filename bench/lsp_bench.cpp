// What an editor waits for after a change: the language server takes an
// edit of one map line of the largest configuration (5,070 map lines),
// checks the document once the change has settled and publishes its
// diagnostics.  The settling time itself is not counted; the target is
// 100 ms on the machine the tool runs on.
#include "support/config_generator.h"
#include "vorn/lsp_framing.h"
#include "vorn/lsp_server.h"

#include <benchmark/benchmark.h>
#include <cctype>
#include <string>

namespace {

using namespace vorn::tool::lsp;
using json = nlohmann::json;

void send(Server &server, const json &message, Clock::time_point now) {
    server.handle({Frame::Body, message.dump()}, now);
}

void BM_LspCheckAfterChange(benchmark::State &state) {
    const vorn::test::GeneratedConfig config = vorn::test::largest_config();
    const std::string uri = "file:///bench/largest.cfg";
    Server server;
    Clock::time_point now{};
    send(server,
         {{"jsonrpc", "2.0"},
          {"id", 1},
          {"method", "initialize"},
          {"params", {{"capabilities", json::object()}}}},
         now);
    const json item = {{"uri", uri}, {"version", 1}, {"text", config.text}};
    send(server,
         {{"jsonrpc", "2.0"},
          {"method", "textDocument/didOpen"},
          {"params", {{"textDocument", item}}}},
         now);
    server.take_output();
    // The last map line: the fourth letter of its key changes case in each
    // change, which leaves the key as it was.
    int line = 0, last_map = 0;
    char letter = 'O';
    for (size_t i = 0, start = 0; i <= config.text.size(); ++i)
        if (i == config.text.size() || config.text[i] == '\n') {
            if (config.text.compare(start, 3, "Map") == 0) {
                last_map = line;
                letter = config.text[start + 3];
            }
            ++line;
            start = i + 1;
        }
    int version = 1;
    size_t published = 0;
    for (auto _ : state) {
        ++version;
        const std::string typed(
            1, static_cast<char>(version % 2 ? std::toupper(letter) : std::tolower(letter)));
        const json range = {{"start", {{"line", last_map}, {"character", 3}}},
                            {"end", {{"line", last_map}, {"character", 4}}}};
        const json change = {{"range", range}, {"text", typed}};
        const json params = {{"textDocument", {{"uri", uri}, {"version", version}}},
                             {"contentChanges", json::array({change})}};
        send(server, {{"jsonrpc", "2.0"}, {"method", "textDocument/didChange"}, {"params", params}},
             now);
        now += kSettle;
        server.run_due(now);
        published += server.take_output().size();
    }
    if (published == 0)
        state.SkipWithError("nothing was published");
    state.counters["map_lines"] = static_cast<double>(config.maps.size());
    state.counters["published_kib"] =
        static_cast<double>(published) / 1024.0 / static_cast<double>(state.iterations());
}
BENCHMARK(BM_LspCheckAfterChange)->Unit(benchmark::kMillisecond);

} // namespace
