// The tool's notes and error lines (see messages.h).
#include "messages.h"

#include "command.h"
#include "vorn_tool/api.h"

#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace vorn::tool {

namespace {

bool g_quiet = false;

std::vector<std::pair<std::string, std::string>> &stand_ins() {
    static std::vector<std::pair<std::string, std::string>> list;
    return list;
}

std::string replaced(std::string text, const std::string &from, const std::string &to) {
    for (size_t at = 0; !from.empty() && (at = text.find(from, at)) != std::string::npos;
         at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

} // namespace

bool colour_wanted() {
    static const bool wanted = std::getenv("NO_COLOR") == nullptr && api::is_terminal(stderr);
    return wanted;
}

void set_quiet(bool quiet) {
    g_quiet = quiet;
}

bool quiet() {
    return g_quiet;
}

static std::vector<std::string> &pending_notes() {
    static std::vector<std::string> notes;
    return notes;
}

void note(const std::string &line) {
    if (!g_quiet)
        pending_notes().push_back(shown_names(line));
}

void show_notes() {
    for (const std::string &line : pending_notes())
        std::fprintf(stderr, "%s\n", line.c_str());
    pending_notes().clear();
}

void say_error(const std::string &text) {
    std::string shown = shown_names(text);
    if (colour_wanted()) {
        shown = replaced(shown, " error:", " \033[1;31merror:\033[0m");
        shown = replaced(shown, " warning:", " \033[1;35mwarning:\033[0m");
    }
    std::fputs(shown.c_str(), stderr);
}

void name_stand_in(const std::string &path, const std::string &shown) {
    stand_ins().emplace_back(path, shown);
}

std::string shown_names(std::string text) {
    for (const auto &[path, shown] : stand_ins())
        text = replaced(text, path, shown);
    return text;
}

void add_system_reason(int error) {
    if (error != 0)
        say_error("vorn: note: the system's reason: " + api::system_error_text(error) + "\n");
}

int publish_failed(const api::Publication &outputs) {
    return job_failed("cannot put \"" + outputs.failed() +
                      "\" in place: " + api::system_error_text(api::last_error()));
}

bool say_copy_failure(const api::Outcome &done, const char *input) {
    for (const api::FailedFile &file : done.failed)
        if (file.temporary_copy) {
            job_failed("cannot copy \"" + std::string(input) + "\": " + file.why);
            return true;
        }
    return false;
}

} // namespace vorn::tool
