// A host program as the box's management programs are: it loads the library
// at run time (LoadLibrary on Windows, dlopen elsewhere), finds all 26
// exports by their exported names and runs the jobs of a job list on the
// bundled examples, then the small services and a set of bad inputs.  Every
// result goes into results.txt, so that the runs of two builds (Linux and
// Windows under Wine) can be compared file by file:
//
//   vorn_host run LIBRARY JOBLIST      in a folder that holds in/ (the
//                                      examples) and out/ (empty)
//   vorn_host fallback LIBRARY         host trace lines while the debug
//                                      output cannot be written
//   vorn_host compare JOBLIST DIR_A DIR_B
//
// compare takes DIR_A as the reference: text outputs of DIR_B may end their
// lines in CR LF instead of LF (and must, when B was written on Windows),
// binary outputs must be equal byte for byte.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

// ---- the exports --------------------------------------------------------------

using MkConf = int32_t (*)(const char *, const char *, int32_t);
using MkAlarm = int32_t (*)(const char *, const char *, int32_t, const char *, const char *,
                            char *);
using MkLogCall = int32_t (*)(const char *, const char *, const char *, const char *, char *);
using MergeLogCall = int32_t (*)(const char *, const char *, const char *);
using MkTrace = int32_t (*)(const char *, const char *, char *);
using PTrace = void (*)(const char *, ...);
using SetU32 = void (*)(uint32_t);
using SetPath = void (*)(const char *, int32_t);
using GetText = void (*)(char *, uint32_t);
using SetText = void (*)(const char *);
using SetVoid = void (*)(const void *);
using Void = void (*)();
using MakeFname = char *(*)(const char *, char *, const char *);
using ConfGettime = void (*)(uint8_t *);
using CatSerial = const char *(*)(const char *, const uint8_t *);
using PathResult = int32_t (*)(const char *);
using Atoh = uint32_t (*)(const char *);
using DllVersion = int32_t (*)(const char *, char *, int32_t);
using OwnVersion = int32_t (*)(char *, int32_t);
using Scramble = void (*)(const char *, char *);

struct Exports {
    Scramble CodePassWord, DecodePassWord;
    Atoh atoh;
    CatSerial cat_number_and_serialno;
    ConfGettime conf_gettime;
    PathResult file_remove;
    GetText get_Password, get_TmpPath;
    DllVersion get_dll_version;
    OwnVersion get_vorn_b32_dll_version;
    MakeFname make_fname;
    MergeLogCall merge_logcall;
    MkAlarm mkalarm;
    MkConf mkconf;
    MkLogCall mklogcall;
    MkTrace mktrace;
    PTrace ptrace;
    PathResult remove_hexfile;
    SetVoid set_DevInfo;
    SetText set_Password;
    SetPath set_TmpPath;
    SetU32 set_debug;
    Void set_global_error;
    SetU32 set_optimize_ex, set_optimize_files;
    SetText set_tool_name;
};

void *find_export(void *library, const char *name) {
#if defined(_WIN32)
    // The export table names the functions with a leading underscore.
    std::string exported = std::string("_") + name;
    return reinterpret_cast<void *>(
        GetProcAddress(static_cast<HMODULE>(library), exported.c_str()));
#else
    return dlsym(library, name);
#endif
}

void *load_library(const char *path) {
#if defined(_WIN32)
    return LoadLibraryA(path);
#else
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
#endif
}

// Fills every slot; returns how many exports were found.
int bind(void *library, Exports &x) {
    int found = 0;
    auto get = [&](auto &slot, const char *name) {
        void *p = find_export(library, name);
        if (p == nullptr)
            std::fprintf(stderr, "vorn_host: export %s not found\n", name);
        else
            ++found;
        std::memcpy(&slot, &p, sizeof p);
    };
    get(x.CodePassWord, "CodePassWord");
    get(x.DecodePassWord, "DecodePassWord");
    get(x.atoh, "atoh");
    get(x.cat_number_and_serialno, "cat_number_and_serialno");
    get(x.conf_gettime, "conf_gettime");
    get(x.file_remove, "file_remove");
    get(x.get_Password, "get_Password");
    get(x.get_TmpPath, "get_TmpPath");
    get(x.get_dll_version, "get_dll_version");
    get(x.get_vorn_b32_dll_version, "get_vorn_b32_dll_version");
    get(x.make_fname, "make_fname");
    get(x.merge_logcall, "merge_logcall");
    get(x.mkalarm, "mkalarm");
    get(x.mkconf, "mkconf");
    get(x.mklogcall, "mklogcall");
    get(x.mktrace, "mktrace");
    get(x.ptrace, "ptrace");
    get(x.remove_hexfile, "remove_hexfile");
    get(x.set_DevInfo, "set_DevInfo");
    get(x.set_Password, "set_Password");
    get(x.set_TmpPath, "set_TmpPath");
    get(x.set_debug, "set_debug");
    get(x.set_global_error, "set_global_error");
    get(x.set_optimize_ex, "set_optimize_ex");
    get(x.set_optimize_files, "set_optimize_files");
    get(x.set_tool_name, "set_tool_name");
    return found;
}

// ---- the job list ---------------------------------------------------------------

// One argument of a job line.
struct Arg {
    enum Kind { Path, Text, Number, Null, Buffer } kind = Null;
    std::string text;      // path, text, or the label a buffer starts with
    std::string copy_from; // an example that the path starts as a copy of
    long number = 0;
};

struct Job {
    int line = 0;
    std::string source; // the line as written
    std::string name;
    std::vector<Arg> args;
};

// An output of the job list that the comparison looks at.
struct Output {
    std::string path;
    bool text;
    bool operator<(const Output &o) const { return path < o.path; }
};

// Splits a line into tokens; "..." holds blanks and may be empty.
std::vector<std::string> tokens_of(const std::string &line, std::vector<bool> *quoted) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
        } else if (line[i] == '#') {
            break;
        } else if (line[i] == '"') {
            size_t end = line.find('"', i + 1);
            if (end == std::string::npos)
                end = line.size();
            out.push_back(line.substr(i + 1, end - i - 1));
            quoted->push_back(true);
            i = end + 1;
        } else {
            size_t end = line.find_first_of(" \t\r", i);
            if (end == std::string::npos)
                end = line.size();
            out.push_back(line.substr(i, end - i));
            quoted->push_back(false);
            i = end;
        }
    }
    return out;
}

// Reads the job list; lines of the vorn tool ("vorn ARGS... [> OUTPUT]")
// only add their outputs.  Tokens: in:NAME (an example), copy:NAME (an example
// copied into out/ first, for jobs that write beside their input),
// text:NAME and bin:NAME (files in out/, compared as text or byte for byte),
// NULL, msg or msg:LABEL (a message buffer), "text", numbers.  After "=>"
// follow further outputs that the job writes beside its files.
bool read_jobs(const char *path, std::vector<Job> &jobs, std::set<Output> &outputs) {
    std::ifstream in(path);
    if (!in) {
        std::fprintf(stderr, "vorn_host: cannot read the job list %s\n", path);
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        std::vector<bool> quoted;
        std::vector<std::string> tokens = tokens_of(line, &quoted);
        if (tokens.empty())
            continue;
        // Lines of the vorn tool are run by the run script; here only their
        // outputs are noted for the comparison.
        const bool tool = tokens[0] == "vorn";
        Job job;
        job.line = number;
        job.source = line;
        job.name = tokens[0];
        bool declared_only = false;
        for (size_t i = 1; i < tokens.size(); ++i) {
            const std::string &t = tokens[i];
            Arg a;
            if (quoted[i]) {
                a.kind = Arg::Text;
                a.text = t;
            } else if (t == "=>" || (tool && t == ">")) {
                declared_only = true;
                continue;
            } else if (t.rfind("in:", 0) == 0) {
                a.kind = Arg::Path;
                a.text = "in/" + t.substr(3);
            } else if (t.rfind("copy:", 0) == 0) {
                a.kind = Arg::Path;
                a.text = "out/" + t.substr(5);
                a.copy_from = "in/" + t.substr(5);
                outputs.insert({a.text, false}); // the example's own bytes

            } else if (t.rfind("text:", 0) == 0 || t.rfind("bin:", 0) == 0) {
                a.kind = Arg::Path;
                a.text = "out/" + t.substr(t.find(':') + 1);
                outputs.insert({a.text, t[0] == 't'});
            } else if (t == "NULL") {
                a.kind = Arg::Null;
            } else if (t == "msg" || t.rfind("msg:", 0) == 0) {
                a.kind = Arg::Buffer;
                a.text = t.size() > 4 ? t.substr(4) : "";
            } else if (tool) {
                a.kind = Arg::Text; // the tool's own words and options
                a.text = t;
            } else {
                char *end = nullptr;
                a.number = std::strtol(t.c_str(), &end, 0);
                if (end == t.c_str() || *end != '\0') {
                    std::fprintf(stderr, "vorn_host: %s:%d: cannot read \"%s\"\n", path, number,
                                 t.c_str());
                    return false;
                }
                a.kind = Arg::Number;
            }
            if (!declared_only)
                job.args.push_back(a);
        }
        if (!tool)
            jobs.push_back(job);
    }
    return true;
}

bool copy_file(const std::string &from, const std::string &to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    out << in.rdbuf();
    return in.good() && out.good();
}

// ---- the run ----------------------------------------------------------------------

std::FILE *g_results = nullptr; // text mode: lines end as the system's do
int g_failures = 0;

void say(const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(g_results, format, args);
    va_end(args);
}

void expect(bool ok, const char *what) {
    if (!ok) {
        std::fprintf(stderr, "vorn_host: FAILED: %s\n", what);
        say("FAILED: %s\n", what);
        ++g_failures;
    }
}

// Runs one job; false when its export or its arguments are unknown.
bool run_job(const Exports &x, const Job &job) {
    std::vector<std::string> buffers(job.args.size());
    std::vector<const char *> s(job.args.size());
    std::vector<char *> b(job.args.size());
    std::vector<long> n(job.args.size());
    for (size_t i = 0; i < job.args.size(); ++i) {
        const Arg &a = job.args[i];
        if (a.kind == Arg::Buffer) {
            buffers[i] = a.text;
            buffers[i].resize(600, '\0');
            b[i] = &buffers[i][0];
            s[i] = b[i];
        } else if (a.kind == Arg::Path || a.kind == Arg::Text) {
            s[i] = a.text.c_str();
        }
        n[i] = a.number;
        if (!a.copy_from.empty() && !copy_file(a.copy_from, a.text))
            expect(false, ("copy of example " + a.copy_from).c_str());
    }
    auto arity = [&](size_t count) {
        if (job.args.size() == count)
            return true;
        std::fprintf(stderr, "vorn_host: line %d: %s takes %u arguments\n", job.line,
                     job.name.c_str(), static_cast<unsigned>(count));
        return false;
    };
    int32_t result = 0;
    bool has_result = true;
    const std::string &f = job.name;
    if (f == "mkconf" && arity(3)) {
        result = x.mkconf(s[0], s[1], static_cast<int32_t>(n[2]));
    } else if (f == "mkalarm" && arity(6)) {
        result = x.mkalarm(s[0], s[1], static_cast<int32_t>(n[2]), s[3], s[4], b[5]);
    } else if (f == "mklogcall" && arity(5)) {
        result = x.mklogcall(s[0], s[1], s[2], s[3], b[4]);
    } else if (f == "merge_logcall" && arity(3)) {
        result = x.merge_logcall(s[0], s[1], s[2]);
    } else if (f == "mktrace" && arity(3)) {
        result = x.mktrace(s[0], s[1], b[2]);
    } else if (f == "set_optimize_files" && arity(1)) {
        x.set_optimize_files(static_cast<uint32_t>(n[0]));
        has_result = false;
    } else if (f == "set_tool_name" && arity(1)) {
        x.set_tool_name(s[0]);
        has_result = false;
    } else if (f == "set_TmpPath" && arity(2)) {
        x.set_TmpPath(s[0], static_cast<int32_t>(n[1]));
        has_result = false;
    } else {
        std::fprintf(stderr, "vorn_host: line %d: cannot run \"%s\"\n", job.line,
                     job.source.c_str());
        return false;
    }
    say("job %d: %s\n", job.line, job.source.c_str());
    if (has_result)
        say("  result %d\n", static_cast<int>(result));
    for (size_t i = 0; i < job.args.size(); ++i)
        if (job.args[i].kind == Arg::Buffer)
            say("  message \"%s\"\n", b[i]);
    return true;
}

std::string read_file(const std::string &path, bool *exists) {
    std::ifstream in(path, std::ios::binary);
    *exists = static_cast<bool>(in);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool write_file(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    return out.good();
}

bool exists(const std::string &path) {
    bool there = false;
    read_file(path, &there);
    return there;
}

// The small services, each with inputs whose answers do not depend on the
// system (the clock is pinned by SOURCE_DATE_EPOCH).
void run_services(const Exports &x) {
    char buf[300];
    say("atoh: %X %X %X %X %X\n", x.atoh("0x1F"), x.atoh("$FF"), x.atoh("1x2"), x.atoh("G1"),
        x.atoh(""));

    char scrambled[64];
    char plain[64];
    x.CodePassWord("Secret-42.x", scrambled);
    x.DecodePassWord(scrambled, plain);
    say("password scrambling: \"%s\" back to \"%s\"\n", scrambled, plain);
    expect(std::strcmp(plain, "Secret-42.x") == 0, "DecodePassWord undoes CodePassWord");

    const uint8_t serial[16] = {0x01, 0xA2, 0xFF};
    const uint8_t unset[16] = {0xFF};
    say("serial: \"%s\"\n", x.cat_number_and_serialno("0301 4711", serial));
    say("serial: \"%s\"\n", x.cat_number_and_serialno("0301", unset));

    for (int size : {100, 49, 33, 23, 20, 10, 7}) {
        int32_t n = x.get_vorn_b32_dll_version(buf, size);
        say("get_vorn_b32_dll_version(%d): %d \"%s\"\n", size, static_cast<int>(n), buf);
    }
    for (int size : {100, 30, 20}) {
        int32_t n = x.get_dll_version("vorn_b32.dll", buf, size);
        say("get_dll_version(vorn_b32.dll, %d): %d \"%s\"\n", size, static_cast<int>(n), buf);
    }

    uint8_t t[6] = {};
    x.conf_gettime(t);
    say("conf_gettime: %u %u %u %u %u %u\n", t[0], t[1], t[2], t[3], t[4], t[5]);

    x.set_TmpPath("C:\\TMP\\X.CFG", 1);
    x.get_TmpPath(buf, sizeof buf);
    say("get_TmpPath: \"%s\"", buf);
    x.get_TmpPath(buf, 4);
    say(" \"%s\"\n", buf);

    x.set_Password("A-password-of-fifty-characters-that-is-cut-at-39-x");
    x.get_Password(buf, sizeof buf);
    say("get_Password: \"%s\"\n", buf);
    x.set_Password(nullptr);
    x.get_Password(buf, sizeof buf);
    say("get_Password after clearing: %u letters\n", static_cast<unsigned>(std::strlen(buf)));

    say("make_fname: \"%s\"", x.make_fname("C:\\A\\cfg.txt", buf, ".map"));
    say(" \"%s\"\n", x.make_fname("C:\\A.B\\cfg", buf, ".map"));
    // A unique temporary file in the thread's temporary folder.
    x.set_TmpPath("out/tmpfile.x", 1);
    if (char *made = x.make_fname("LONGNAME.CFG", buf, nullptr)) {
        std::string name(made);
        expect(exists(name), "make_fname leaves the new file behind");
        std::remove(name.c_str());
        size_t n = name.size();
        say("make_fname unique: \"%s??????\" (%u characters)\n", name.substr(0, n - 6).c_str(),
            static_cast<unsigned>(n));
    } else {
        say("make_fname unique: none\n");
    }
    x.set_TmpPath("", 1);

    for (const char *name : {"one.rmv", "two.rmv"})
        write_file(name, "x");
    int32_t removed = x.file_remove("*.rmv");
    say("file_remove: %d, left: %d %d\n", static_cast<int>(removed), exists("one.rmv") ? 1 : 0,
        exists("two.rmv") ? 1 : 0);

    write_file("out/secret.hex", "0123456789");
    say("remove_hexfile: %d", static_cast<int>(x.remove_hexfile("out/secret.hex")));
    say(" left %d, missing file %d\n", exists("out/secret.hex") ? 1 : 0,
        static_cast<int>(x.remove_hexfile("out/no-such.hex")));

    uint8_t devinfo[90] = {1};
    std::memcpy(devinfo + 48, "Vorn-Box Host Test", 18);
    x.set_DevInfo(devinfo);
    x.set_DevInfo(devinfo);
    x.set_global_error();
    x.set_optimize_ex(1);
    x.set_tool_name("WHOST");
    x.set_debug(1);
    x.ptrace("host line %d of %s\n", 7, "vorn_host");
    x.set_debug(0);
    say("settings and trace: done\n");
}

// Damaged copies of the event log: cut short, all 0xFF, bytes flipped.
const char *const kDamaged[] = {"out/damaged-short.bin", "out/damaged-ff.bin",
                                "out/damaged-flip.bin"};
const char *const kDamagedConf[] = {"out/damaged-line.cfg", "out/damaged-noise.cfg"};
// Outputs the bad inputs may leave; compared like the job outputs.
const char *const kBadOutputs[] = {"out/bad-alarm.txt", "out/bad-conf.cfg", "out/bad-out.txt",
                                   "out/bad-in.txt",    "out/bad-rej.txt",  "out/bad-trace.txt"};
// What the fallback run writes.
const char *const kToolOutputs[] = {"DBG--000.000"};

void make_damaged_files() {
    bool there = false;
    std::string log = read_file("in/events.bin", &there);
    write_file(kDamaged[0], log.substr(0, 10));
    write_file(kDamaged[1], std::string(300, '\xFF'));
    for (size_t i = 0; i < log.size(); i += 7)
        log[i] = static_cast<char>(log[i] ^ 0x5A);
    write_file(kDamaged[2], log);

    // Configurations: a line of garbage in the middle, and bytes that are no
    // text at all (without CR and Ctrl-Z, which Windows text mode reads
    // differently by design).
    std::string cfg = read_file("in/vorn-box.cfg", &there);
    size_t middle = cfg.find('\n', cfg.size() / 2);
    if (middle != std::string::npos)
        cfg.insert(middle + 1, "Currency=AOCC \x01\x02\xFE 99999999999999999999 \"EUR\n");
    write_file(kDamagedConf[0], cfg);
    std::string noise;
    for (unsigned i = 0; i < 2000; ++i) {
        char c = static_cast<char>((i * 7919u + 13u) % 251u);
        noise.push_back(c == '\r' || c == '\x1a' ? ' ' : c);
    }
    write_file(kDamagedConf[1], noise);
}

// Absent pointers, missing and damaged inputs, unwritable outputs: each gives
// a result, never a crash.
void run_bad_inputs(const Exports &x) {
    char msg[600];
    auto conversion = [&](const char *what, int32_t result) {
        say("bad input: %s: %d \"%s\"\n", what, static_cast<int>(result), msg);
        expect(result != 0, what);
        std::memset(msg, 0, sizeof msg);
    };
    std::memset(msg, 0, sizeof msg);
    conversion("mkconf without paths", x.mkconf(nullptr, nullptr, 1));
    conversion("mkconf without paths, back", x.mkconf(nullptr, nullptr, 0));
    conversion("mkconf missing input", x.mkconf("in/no-such.cfg", "out/bad.bin", 1));
    conversion("mkalarm without paths", x.mkalarm(nullptr, nullptr, 0, nullptr, nullptr, msg));
    conversion("mkalarm missing input",
               x.mkalarm("out/bad-alarm.txt", "in/no-such.bin", 0, nullptr, nullptr, msg));
    conversion("mkalarm unwritable output",
               x.mkalarm("no-such-folder/x.txt", "in/events.bin", 0, nullptr, nullptr, msg));
    conversion("mklogcall without paths", x.mklogcall(nullptr, nullptr, nullptr, nullptr, msg));
    conversion("mklogcall missing input", x.mklogcall("in/no-such.bin", "out/bad-out.txt",
                                                      "out/bad-in.txt", "out/bad-rej.txt", msg));
    conversion("mklogcall unwritable output",
               x.mklogcall("in/calls.bin", "no-such-folder/out.txt", nullptr, nullptr, msg));
    conversion("merge_logcall without paths", x.merge_logcall(nullptr, nullptr, nullptr));
    conversion("merge_logcall unwritable output",
               x.merge_logcall("out/events.txt", "out/events.txt", "no-such-folder/m.txt"));
    conversion("mktrace unwritable output",
               x.mktrace("out/damaged-ff.bin", "no-such-folder/t.txt", msg));
    conversion("merge_logcall missing inputs",
               x.merge_logcall("in/no-such-1.txt", "in/no-such-2.txt", "out/bad-out.txt"));
    conversion("mktrace without paths", x.mktrace(nullptr, nullptr, nullptr));
    conversion("mktrace missing input", x.mktrace("in/no-such.bin", "out/bad-trace.txt", msg));
    // Damaged files are no error for every converter (an event log with
    // flipped bytes still has entries), so only their results are recorded.
    for (const char *damaged : kDamaged) {
        say("damaged %s: mkalarm %d", damaged,
            static_cast<int>(x.mkalarm("out/bad-alarm.txt", damaged, 0, nullptr, nullptr, msg)));
        say(" \"%s\"", msg);
        say(" mklogcall %d",
            static_cast<int>(x.mklogcall(damaged, "out/bad-out.txt", "out/bad-in.txt",
                                         "out/bad-rej.txt", nullptr)));
        say(" mktrace %d", static_cast<int>(x.mktrace(damaged, "out/bad-trace.txt", nullptr)));
        say(" mkconf %d\n", static_cast<int>(x.mkconf("out/bad-conf.cfg", damaged, 0)));
        std::memset(msg, 0, sizeof msg);
    }
    for (const char *damaged : kDamagedConf)
        say("damaged %s: mkconf %d\n", damaged,
            static_cast<int>(x.mkconf(damaged, "out/bad.bin", 1)));

    char buf[300] = {};
    say("bad input: atoh(NULL) %u\n", x.atoh(nullptr));
    say("bad input: make_fname(NULL) %s\n", x.make_fname(nullptr, buf, ".x") ? "text" : "NULL");
    say("bad input: make_fname(result NULL) %s\n",
        x.make_fname("a.cfg", nullptr, ".x") ? "text" : "NULL");
    say("bad input: get_dll_version(NULL) %d\n",
        static_cast<int>(x.get_dll_version(nullptr, buf, 100)));
    say("bad input: get_dll_version(buffer NULL) %d\n",
        static_cast<int>(x.get_dll_version("Vorn_B32.DLL", nullptr, 100)));
    say("bad input: get_vorn_b32_dll_version(NULL) %d\n",
        static_cast<int>(x.get_vorn_b32_dll_version(nullptr, 100)));
    say("bad input: file_remove(NULL) %d\n", static_cast<int>(x.file_remove(nullptr)));
    say("bad input: remove_hexfile(NULL) %d\n", static_cast<int>(x.remove_hexfile(nullptr)));
    const char *serial = x.cat_number_and_serialno(nullptr, nullptr);
    say("bad input: cat_number_and_serialno(NULL) \"%s\"\n", serial ? serial : "(NULL)");
    x.get_TmpPath(nullptr, 10);
    x.get_TmpPath(buf, 0);
    x.get_Password(nullptr, 10);
    x.CodePassWord(nullptr, buf);
    x.DecodePassWord("abc", nullptr);
    x.conf_gettime(nullptr);
    x.set_DevInfo(nullptr);
    x.set_tool_name(nullptr);
    x.set_TmpPath(nullptr, 1);
    x.set_Password(nullptr);
    x.set_debug(1);
    x.ptrace(nullptr);
    x.set_debug(0);
    say("bad input: absent pointers to the setters and getters: no crash\n");
}

// The debug switch exists after load, for the user to change.
bool debug_switch_present() {
#if defined(_WIN32)
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\KEMAX\\KEMAX.NMS\\Settings", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    bool ok = RegQueryValueExA(key, "Vorn_B32_DEBUG", nullptr, &type,
                               reinterpret_cast<BYTE *>(&value), &size) == ERROR_SUCCESS &&
              type == REG_DWORD;
    RegCloseKey(key);
    return ok;
#else
    const char *xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg == nullptr)
        return false;
    bool there = false;
    std::string text = read_file(std::string(xdg) + "/KEMAX/KEMAX.NMS/Settings", &there);
    return text.find("Vorn_B32_DEBUG=") != std::string::npos;
#endif
}

// What only the system can answer: the version of a system module.
void report_system_version(const Exports &x) {
    char buf[120];
#if defined(_WIN32)
    const char *module = "kernel32.dll";
#else
    const char *module = "libc.so.6";
#endif
    int32_t n = x.get_dll_version(module, buf, sizeof buf);
    std::printf("vorn_host: get_dll_version(%s): \"%s\"\n", module, buf);
#if defined(_WIN32)
    expect(n > static_cast<int32_t>(std::strlen(module) + 1),
           "the version API reads the version of a system module");
#else
    expect(n == static_cast<int32_t>(std::strlen(module) + 1),
           "a module without version information reports its name only");
#endif
}

int run(const char *library_path, const char *job_list) {
    std::vector<Job> jobs;
    std::set<Output> outputs;
    if (!read_jobs(job_list, jobs, outputs))
        return 2;
    g_results = std::fopen("out/results.txt", "w");
    if (g_results == nullptr) {
        std::fprintf(stderr, "vorn_host: run in a folder with in/ and out/\n");
        return 2;
    }
    void *library = load_library(library_path);
    if (library == nullptr) {
        std::fprintf(stderr, "vorn_host: cannot load %s\n", library_path);
        return 1;
    }
    Exports x{};
    int found = bind(library, x);
    say("exports found: %d of 26\n", found);
    if (found != 26)
        return 1;
    say("debug switch: %s\n", debug_switch_present() ? "present" : "missing");
    expect(debug_switch_present(), "loading creates the debug switch");
    for (const Job &job : jobs)
        if (!run_job(x, job))
            return 2;
    run_services(x);
    make_damaged_files();
    run_bad_inputs(x);
    report_system_version(x);

    // The debug output, when it goes to a file: the version line written at
    // load and the host's own line.
    if (const char *sink = std::getenv("VORN_B32_DEBUG_OUTPUT"); sink != nullptr && *sink) {
        bool there = false;
        std::string trace = read_file(sink, &there);
        char version[100];
        x.get_dll_version("Vorn_B32.DLL", version, sizeof version);
        bool version_line = trace.find(std::string(":") + version + "\n") != std::string::npos;
        bool host_line = trace.find("]WHOST:host line 7 of vorn_host\n") != std::string::npos;
        say("debug output: version line %s, host line %s\n", version_line ? "yes" : "no",
            host_line ? "yes" : "no");
        expect(version_line && host_line, "the debug output file holds the expected lines");
    }
#if defined(_WIN32)
    // Unloading runs the stop step, whose first line shows in the debug
    // output of a thread with debugging on.  (A shared object of the C++
    // runtime on Linux may stay loaded after dlclose, so only Windows checks.)
    x.set_debug(1);
    expect(FreeLibrary(static_cast<HMODULE>(library)) != FALSE, "FreeLibrary");
    if (const char *sink = std::getenv("VORN_B32_DEBUG_OUTPUT"); sink != nullptr && *sink) {
        bool there = false;
        std::string trace = read_file(sink, &there);
        expect(trace.find("]Vorn_B32.DLL:ExitInstance\n") != std::string::npos,
               "unloading the library writes ExitInstance");
    }
    std::printf("vorn_host: unloaded the library\n");
#endif
    say("%d failed\n", g_failures);
    bool closed = std::fclose(g_results) == 0;
    std::printf("vorn_host: %u jobs, %d failed\n", static_cast<unsigned>(jobs.size()), g_failures);
    return g_failures == 0 && closed ? 0 : 1;
}

// The host's trace lines when the debug output cannot be written (the run
// script points it into a missing folder): they go to the fallback file
// DBG--000.000 in the current folder, guarded by the semaphore "TraceMutex".
int fallback(const char *library_path) {
    void *library = load_library(library_path);
    Exports x{};
    if (library == nullptr || bind(library, x) != 26)
        return 1;
    x.set_tool_name("WHOST");
    x.set_debug(1);
    x.ptrace("fallback line %d of %s\n", 3, "vorn_host");
    x.ptrace("a line in %d parts", 2);
    x.ptrace(", ended by the second\n");
    x.set_debug(0);
    x.ptrace("not written: debugging is off\n");
    return 0;
}

// ---- the comparison ---------------------------------------------------------------

// Why b is not a with its line ends; empty when it is.
std::string text_difference(const std::string &a, const std::string &b) {
    std::string normal;
    normal.reserve(b.size());
    for (size_t i = 0; i < b.size(); ++i)
        if (b[i] != '\r' || i + 1 >= b.size() || b[i + 1] != '\n')
            normal.push_back(b[i]);
    if (normal != a) {
        size_t line = 1;
        size_t i = 0;
        while (i < a.size() && i < normal.size() && a[i] == normal[i])
            line += a[i++] == '\n';
        return "differs from line " + std::to_string(line);
    }
    return std::string();
}

int compare(const char *job_list, const std::string &dir_a, const std::string &dir_b,
            bool b_is_windows) {
    std::vector<Job> jobs;
    std::set<Output> outputs;
    if (!read_jobs(job_list, jobs, outputs))
        return 2;
    outputs.insert({"out/results.txt", true});
    for (const char *name : kBadOutputs)
        outputs.insert({name, true});
    for (const char *name : kToolOutputs)
        outputs.insert({name, true});
    outputs.insert({"out/bad.bin", false});
    int passed = 0;
    int failed = 0;
    for (const Output &o : outputs) {
        bool in_a = false;
        bool in_b = false;
        std::string a = read_file(dir_a + "/" + o.path, &in_a);
        std::string b = read_file(dir_b + "/" + o.path, &in_b);
        std::string why;
        if (in_a != in_b)
            why = in_a ? "missing in the second run" : "only in the second run";
        else if (!o.text && a != b)
            why = "binary content differs";
        else if (o.text)
            why = text_difference(a, b);
        if (why.empty() && o.text && b_is_windows && in_b) {
            // Text mode of Windows: every line ends in CR LF.
            for (size_t i = 0; i < b.size() && why.empty(); ++i)
                if (b[i] == '\n' && (i == 0 || b[i - 1] != '\r'))
                    why = "a line ends without CR";
        }
        std::printf("%-40s %s\n", o.path.c_str(),
                    why.empty() ? (in_a ? "equal" : "absent in both") : why.c_str());
        ++(why.empty() ? passed : failed);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 4 && std::strcmp(argv[1], "run") == 0)
        return run(argv[2], argv[3]);
    if (argc == 3 && std::strcmp(argv[1], "fallback") == 0)
        return fallback(argv[2]);
    if ((argc == 5 || argc == 6) && std::strcmp(argv[1], "compare") == 0)
        return compare(argv[2], argv[3], argv[4],
                       argc == 6 && std::strcmp(argv[5], "--windows") == 0);
    std::fprintf(stderr, "usage: vorn_host run LIBRARY JOBLIST\n"
                         "       vorn_host fallback LIBRARY\n"
                         "       vorn_host compare JOBLIST DIR_A DIR_B [--windows]\n");
    return 2;
}
