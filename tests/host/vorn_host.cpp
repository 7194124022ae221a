// A host program as the box's management programs are: it loads the library
// at run time (LoadLibrary on Windows, dlopen elsewhere), finds all 26
// exports by their exported names and runs the lines of a job list (jobs.txt
// tells the grammar) in a folder that holds in/ and out/, each line through
// one generic call built from the header's declaration of its export.  The
// results, and what the exports wrote into buffers, go into
// out/<list>-results.txt.  compare then holds two runs (Linux and Windows
// under Wine) file by file against each other: DIR_A is the reference, text
// outputs of DIR_B may end their lines in CR LF (and must, with --windows),
// binary outputs must be equal byte for byte.
#include "vorn_b32.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

using Fn = void (*)(); // an export's address, cast to its own type to be called

#if defined(_WIN32)
#include <windows.h>
struct System {
    static constexpr const char *kModule = "kernel32.dll"; // with a version resource
    static constexpr bool kVersioned = true;
    static void *load(const char *path) { return LoadLibraryA(path); }
    // The export table names the functions with a leading underscore.
    static Fn find(void *library, const char *name) {
        return reinterpret_cast<Fn>(
            GetProcAddress(static_cast<HMODULE>(library), (std::string("_") + name).c_str()));
    }
    static bool unload(void *library) { return FreeLibrary(static_cast<HMODULE>(library)); }
};
#else
#include <dlfcn.h>
struct System {
    static constexpr const char *kModule = "libc.so.6"; // without one
    static constexpr bool kVersioned = false;
    static void *load(const char *path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }
    static Fn find(void *lib, const char *name) { return reinterpret_cast<Fn>(dlsym(lib, name)); }
    // Stays loaded, so that the leak checker still sees its load-time blocks.
    static bool unload(void *) { return true; }
};
#endif

namespace {

// An argument: an absent pointer, a number, a $NAME buffer, or the bytes
// that a fresh buffer starts with (a text, path, label or hex: bytes).
struct Arg {
    enum Kind { Null, Number, Named, Bytes } kind;
    std::string text; // the name or the bytes
    long number = 0;
    std::string store; // a fresh buffer's memory during the call
    Arg(Kind k, std::string t) : kind(k), text(std::move(t)) {}
};

struct Job {
    std::string source, name;
    std::vector<Arg> args;
    size_t mask = 0; // characters at the end of printed texts shown as '?'
};

using Outputs = std::map<std::string, bool>; // files to compare: path, and whether text

bool starts(const std::string &word, const char *prefix) {
    return word.rfind(prefix, 0) == 0;
}

// One word of a job line as an argument.
Arg arg_of(const std::string &w, bool quoted) {
    if (quoted || starts(w, "msg"))
        return {Arg::Bytes, quoted ? w : w.substr(std::min<size_t>(4, w.size()))};
    if (starts(w, "in:") || starts(w, "text:") || starts(w, "bin:"))
        return {Arg::Bytes, (w[0] == 'i' ? "in/" : "out/") + w.substr(w.find(':') + 1)};
    if (w == "NULL" || w[0] == '$')
        return {w[0] == '$' ? Arg::Named : Arg::Null, w.substr(1)};
    Arg a{Arg::Bytes, starts(w, "hex:") ? "" : w}; // a word as it stands, or bytes
    for (size_t at = 4; starts(w, "hex:") && at + 1 < w.size(); at += 2)
        a.text += static_cast<char>(std::strtol(w.substr(at, 2).c_str(), nullptr, 16));
    char *end = nullptr;
    a.number = std::strtol(w.c_str(), &end, 0);
    a.kind = *end == '\0' ? Arg::Number : a.kind;
    return a;
}

// "out/jobs-results.txt" for the job list ".../jobs.txt".
std::string results_of(const std::string &job_list) {
    const std::string name = job_list.substr(job_list.find_last_of("/\\") + 1);
    return "out/" + name.substr(0, name.rfind('.')) + "-results.txt";
}

// Reads the job list (none when it cannot); of the lines that the run script
// runs (the vorn tool) or makes (file), only the outputs count, beside the
// results.  "..." may hold blanks and \n.
std::vector<Job> read_jobs(const std::string &path, Outputs &outputs) {
    std::vector<Job> jobs;
    outputs[results_of(path)] = true;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        Job job{line, "", {}};
        bool declared_only = false;
        for (size_t i = 0, end = 0; i < line.size() && line[i] != '#'; i = end + 1) {
            const bool quoted = line[i] == '"';
            end = std::min(quoted ? line.find('"', i + 1) : line.find_first_of(" \t\r", i),
                           line.size());
            std::string w;
            for (size_t k = i + quoted; k < end; ++k)
                w += quoted && line[k] == '\\' && line[k + 1] == 'n' ? (++k, '\n') : line[k];
            if (w.empty() && !quoted)
                continue;
            Arg a = arg_of(w, quoted);
            const std::string bare = quoted ? "" : w;
            if (starts(bare, "text:") || starts(bare, "bin:"))
                outputs[a.text] = w[0] == 't';
            if (job.name.empty())
                job.name = w;
            else if (bare == "=>")
                declared_only = true;
            else if (bare[0] == '~')
                job.mask = std::strtoul(w.c_str() + 1, nullptr, 10);
            else if (!declared_only)
                job.args.push_back(a);
        }
        if (!job.name.empty() && job.name != "vorn" && job.name != "file")
            jobs.push_back(job);
    }
    return in.bad() ? std::vector<Job>() : jobs;
}

std::string read_file(const std::string &path, bool &exists) {
    std::ifstream in(path, std::ios::binary);
    exists = static_cast<bool>(in);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::ofstream g_results;                      // text mode: lines end as the system's do
size_t g_mask = 0;                            // of the current job
std::map<std::string, std::string> g_buffers; // $NAME buffers

// n bytes (a C text without n) in quotes, control bytes and bytes from 0x7F
// on as \xNN, the last g_mask as '?'.
std::string quoted(const char *text, size_t n = std::string::npos) {
    if (text == nullptr)
        return "NULL";
    std::string out = "\"";
    n = n == std::string::npos ? std::strlen(text) : n;
    for (size_t i = 0; i < n; ++i) {
        char shown[8] = {i + g_mask >= n ? '?' : text[i]};
        if (i + g_mask < n && (text[i] < 32 || text[i] >= 127))
            std::snprintf(shown, sizeof shown, "\\x%02X", static_cast<unsigned char>(text[i]));
        out += shown;
    }
    return out + "\"";
}

// The argument as the export's parameter type P (a pointer gets 600 bytes of
// memory); ok turns false on a mismatch.
template <typename P> P as(Arg &a, bool &ok) {
    ok = ok && (a.kind == Arg::Number) == std::is_integral_v<P>;
    std::string &memory = a.kind == Arg::Named ? g_buffers[a.text] : a.store;
    memory.resize(std::max<size_t>(memory.size(), 600), '\0');
    if constexpr (std::is_integral_v<P>)
        return static_cast<P>(a.number);
    else
        return a.kind == Arg::Null ? nullptr : reinterpret_cast<P>(memory.data());
}

// What the export wrote into a buffer that it may write: a text (char *) or
// as many bytes (uint8_t *) as the job line gave.
template <typename P> void print_written(const Arg &a, P p) {
    if constexpr (std::is_pointer_v<P> && !std::is_const_v<std::remove_pointer_t<P>>)
        if (p != nullptr)
            g_results << "  -> "
                      << quoted(reinterpret_cast<const char *>(p),
                                std::is_same_v<P, char *> ? std::string::npos : a.text.size())
                      << "\n";
}

template <typename F> struct Call;
template <typename R, typename... P> struct Call<R (*)(P...)> {
    static bool run(Fn address, Job &job) {
        const auto f = reinterpret_cast<R (*)(P...)>(address);
        return job.args.size() == sizeof...(P) &&[&]<size_t... I>(std::index_sequence<I...>) {
            bool ok = true;
            std::tuple<P...> a{as<P>(job.args[I], ok)...};
            if (!ok)
                return false;
            if constexpr (std::is_void_v<R>)
                std::apply(f, a);
            else if constexpr (std::is_pointer_v<R>)
                g_results << "  result " << quoted(std::apply(f, a)) << "\n";
            else
                g_results << "  result " << static_cast<long>(std::apply(f, a)) << "\n";
            (print_written(job.args[I], std::get<I>(a)), ...);
            return true;
        }
        (std::index_sequence_for<P...>{});
    }
};

// ptrace: the format, a number and a text (0 and NULL standing in for none).
template <> struct Call<void (*)(const char *, ...)> {
    static bool run(Fn address, Job &job) {
        while (job.args.size() < 3)
            job.args.push_back({job.args.size() == 1 ? Arg::Number : Arg::Null, ""});
        bool ok = job.args.size() == 3;
        const int number = as<int>(job.args[1], ok);
        const char *format = as<const char *>(job.args[0], ok),
                   *text = as<const char *>(job.args[2], ok);
        if (ok)
            reinterpret_cast<void (*)(const char *, ...)>(address)(format, number, text);
        return ok;
    }
};

struct Export {
    const char *name;
    bool (*run)(Fn, Job &);
    Fn address = nullptr;
    bool called = false;
};
// clang-format off
#define X(name) Export{#name, &Call<decltype(&::name)>::run}
Export g_exports[] = {
    X(CodePassWord), X(DecodePassWord), X(atoh), X(cat_number_and_serialno), X(conf_gettime),
    X(file_remove), X(get_Password), X(get_TmpPath), X(get_dll_version),
    X(get_vorn_b32_dll_version), X(make_fname), X(merge_logcall), X(mkalarm), X(mkconf),
    X(mklogcall), X(mktrace), X(ptrace), X(remove_hexfile), X(set_DevInfo), X(set_Password),
    X(set_TmpPath), X(set_debug), X(set_global_error), X(set_optimize_ex), X(set_optimize_files),
    X(set_tool_name)};
#undef X
// clang-format on

// Runs one line's export, noted as called.
bool run_job(Job &job) {
    g_results << job.source << "\n";
    g_mask = job.mask;
    for (Arg &a : job.args)
        a.store = a.text; // a fresh buffer holds its label, bytes their bytes
    for (Export &e : g_exports)
        if (job.name == e.name)
            return e.called = true, e.run(e.address, job);
    return false;
}

int run(const char *library_path, const char *job_list) {
    Outputs outputs;
    std::vector<Job> jobs = read_jobs(job_list, outputs);
    void *library = System::load(library_path);
    g_results.open(results_of(job_list));
    if (jobs.empty() || library == nullptr || !g_results) {
        std::fprintf(stderr, "vorn_host: cannot run %s with %s\n", job_list, library_path);
        return 2;
    }
    int found = 0;
    for (Export &e : g_exports)
        found += (e.address = System::find(library, e.name)) != nullptr;
    g_results << "exports found: " << found << " of 26\n";
    for (Job &job : jobs)
        if (found != 26 || !run_job(job)) {
            std::fprintf(stderr, "vorn_host: cannot run: %s\n", job.source.c_str());
            return 2;
        }
    // Only the system knows a module's version; found takes its length: Windows
    // has one for kernel32.dll, a Linux library none, giving its name alone.
    char version[120];
    g_results << "exports not called:";
    for (const Export &e : g_exports) {
        g_results << (e.called ? "" : " ") << (e.called ? "" : e.name);
        if (std::strcmp(e.name, "get_dll_version") == 0)
            found = reinterpret_cast<decltype(&::get_dll_version)>(e.address)(
                System::kModule, version, sizeof version);
    }
    std::printf("vorn_host: get_dll_version(%s): \"%s\"\n", System::kModule, version);
    const bool system_ok = (found > int(std::strlen(System::kModule) + 1)) == System::kVersioned;
    // Unloading runs the stop step, whose line the run script looks for.
    const bool unloaded = System::unload(library);
    g_results << "\nsystem module version " << (system_ok ? "as expected" : "WRONG")
              << ", unloaded " << (unloaded ? "yes" : "no") << "\n";
    g_results.close();
    return system_ok && unloaded && g_results.good() ? 0 : 1;
}

int compare(int argc, char **argv) {
    Outputs outputs;
    const bool windows = std::strcmp(argv[argc - 1], "--windows") == 0;
    for (int i = 4; i < argc - windows; ++i)
        if (read_jobs(argv[i], outputs).empty())
            return 2;
    int passed = 0, failed = 0;
    for (const auto &[path, text] : outputs) {
        bool in_a = false, in_b = false;
        const std::string a = read_file(argv[2] + ("/" + path), in_a);
        const std::string b = read_file(argv[3] + ("/" + path), in_b);
        std::string lf; // b with every CR LF of a text as LF
        for (size_t i = 0; i < b.size(); ++i)
            if (!text || b[i] != '\r' || b[i + 1] != '\n')
                lf += b[i];
        // Text mode of Windows: every line ends in CR LF.
        const bool bare_lf = std::count(b.begin(), b.end(), '\n') != long(b.size() - lf.size());
        const char *why = in_a != in_b                 ? "made by one run only"
                          : lf != a                    ? "contents differ"
                          : text && windows && bare_lf ? "a line ends without CR"
                                                       : nullptr;
        ++(why == nullptr ? passed : failed);
        std::printf("%-40s %s\n", path.c_str(), why ? why : in_a ? "equal" : "absent");
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 4 && std::strcmp(argv[1], "run") == 0)
        return run(argv[2], argv[3]);
    if (argc >= 5 && std::strcmp(argv[1], "compare") == 0)
        return compare(argc, argv);
    std::fprintf(stderr, "usage: vorn_host run LIBRARY JOBLIST\n"
                         "       vorn_host compare DIR_A DIR_B JOBLIST... [--windows]\n");
    return 2;
}
