// Helpers of the converter benchmarks: a job run as a process of its own
// (the tool `vorn`) to learn its peak memory, and a hash of an output file
// to hold the fast paths to the bytes they always wrote.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace bench {

// Runs the tool with `args` and returns its peak resident memory in MiB;
// -1 when it failed.  The tool is started by /usr/bin/time, which reads the
// peak of its own small child: a child spawned from this process would
// count this process's memory too (the kernel keeps the high-water mark of
// the address space that the exec replaced).
inline double tool_peak_mib(std::vector<std::string> args, const std::string &scratch) {
    args.insert(args.begin(), {"/usr/bin/time", "-f", "%M", "-o", scratch, VORN_TOOL});
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return -1;
    std::FILE *f = std::fopen(scratch.c_str(), "r");
    unsigned long kib = 0;
    const bool read = f != nullptr && std::fscanf(f, "%lu", &kib) == 1;
    if (f != nullptr)
        std::fclose(f);
    return read ? static_cast<double>(kib) / 1024.0 : -1;
}

// FNV-1a over the bytes of a file; 0 when it cannot be read.
inline uint64_t file_hash(const std::string &path) {
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return 0;
    uint64_t hash = 14695981039346656037ull;
    static char buffer[1 << 16];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        for (size_t i = 0; i < got; ++i)
            hash = (hash ^ static_cast<unsigned char>(buffer[i])) * 1099511628211ull;
    std::fclose(f);
    return hash;
}

} // namespace bench
