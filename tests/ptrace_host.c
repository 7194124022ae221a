/* Loads a library that calls the system's ptrace into a process that uses
 * Vorn_B32, and checks that each side reaches its own ptrace: the host (linked
 * against Vorn_B32) the trace export, the loaded library the system call.
 * Usage: ptrace_host PROBE.so */
#define _GNU_SOURCE
#include "vorn_b32.h"

#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>

static const char *object_of(void *address) {
    Dl_info info;
    return dladdr(address, &info) != 0 && info.dli_fname != NULL ? info.dli_fname : "?";
}

int main(int argc, char **argv) {
    if (argc != 2)
        return 2;
    void *probe = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (probe == NULL) {
        fprintf(stderr, "cannot load %s: %s\n", argv[1], dlerror());
        return 2;
    }
    void *(*address)(void) = (void *(*)(void))dlsym(probe, "probe_ptrace_address");
    int (*call)(void) = (int (*)(void))dlsym(probe, "probe_ptrace_call");
    if (address == NULL || call == NULL)
        return 2;

    const char *vorn = object_of((void *)&mkconf);
    const char *host_ptrace = object_of((void *)&ptrace);
    const char *probe_ptrace = object_of(address());
    int failures = 0;
    if (strcmp(host_ptrace, vorn) != 0) {
        fprintf(stderr, "the host's ptrace is in %s, not in %s\n", host_ptrace, vorn);
        ++failures;
    }
    if (strcmp(probe_ptrace, vorn) == 0) {
        fprintf(stderr, "the loaded library's ptrace is the trace export of %s\n", vorn);
        ++failures;
    }
    const int error = call();
    if (error != ESRCH) {
        fprintf(stderr, "the loaded library's ptrace(PTRACE_PEEKUSER) gave %d, not ESRCH\n", error);
        ++failures;
    }
    ptrace("ptrace_host: the host still reaches the trace export\n");
    dlclose(probe);
    return failures == 0 ? 0 : 1;
}
