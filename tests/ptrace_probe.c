/* A shared object linked only against the C library, as any library that a
 * host loads beside Vorn_B32 may be.  Its ptrace is the system call. */
#include <errno.h>
#include <sys/ptrace.h>
#include <unistd.h>

/* The function this object's ptrace references are bound to. */
void *probe_ptrace_address(void) {
    return (void *)&ptrace;
}

/* A harmless request: this process is not traced, so the system answers
 * -1 with ESRCH.  Returns that errno, or -1 when the call returned
 * something else. */
int probe_ptrace_call(void) {
    errno = 0;
    long r = ptrace(PTRACE_PEEKUSER, getpid(), (void *)0, (void *)0);
    return r == -1 ? errno : -1;
}
