// vorn lsp: the language server of the configuration language on standard
// input and output, for editors that speak the Language Server Protocol.
// One thread: it waits on standard input with a time limit, so that the check of
// a changed document runs once the typing has paused, between messages.
// Nothing but protocol goes to standard output; with -v each message is
// noted on standard error.  No file is written.
#include "command.h"
#include "lsp_framing.h"
#include "lsp_server.h"
#include "vorn_tool/api.h"

namespace {

namespace lsp = vorn::tool::lsp;

int run_lsp(const vorn::tool::Args &args) {
    lsp::Server server(args.verbose);
    lsp::FrameReader reader;
    char block[65536];
    while (!server.finished()) {
        const int ready = vorn::api::wait_standard_input(server.wait_ms(lsp::Clock::now()));
        if (ready < 0)
            return vorn::tool::job_failed("lsp: cannot wait for the client's messages");
        if (ready > 0) {
            const long n = vorn::api::read_standard_input(block, sizeof block);
            if (n <= 0)
                break; // the client is gone, with or without shutdown
            reader.feed(block, static_cast<size_t>(n));
            lsp::Frame frame;
            while (!server.finished() && reader.next(frame))
                server.handle(frame, lsp::Clock::now());
        }
        if (!server.finished())
            server.run_due(lsp::Clock::now());
        const std::string output = server.take_output();
        if (!vorn::api::write_standard_output(output.data(), output.size()))
            return 1;
    }
    return server.finished() ? server.exit_code() : 1;
}

} // namespace

VORN_COMMAND("lsp", {}, {}, "serve editors: a language server for ASCII configurations",
             "Speaks the Language Server Protocol 3.17 on standard input and output\n"
             "(JSON-RPC with Content-Length headers): diagnostics of the check as\n"
             "documents change, hover on keys, period headings and map lines,\n"
             "completion of keys, service words and day names, quick fixes and the\n"
             "outline of periods and maps.  -v notes every message on standard error.\n"
             "Nothing else is written; no file is written.  Exit code 0 after the\n"
             "client's shutdown and exit, 1 when the client leaves without them.\n",
             &run_lsp);
