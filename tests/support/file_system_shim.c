/* A file system the tests cannot otherwise have, preloaded into the tool:
 * VORN_SHIM_NO_TMPFILE=1 refuses O_TMPFILE (EOPNOTSUPP) and memfd_create
 * (ENOSYS), as NFS, SMB and FUSE file systems do; VORN_SHIM_READ_ONLY=FOLDER
 * refuses every file made or written in FOLDER with EROFS, as a read-only
 * mount does. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

static int no_tmpfile(int flags) {
    const char *on = getenv("VORN_SHIM_NO_TMPFILE");
    return on != NULL && on[0] == '1' && (flags & O_TMPFILE) == O_TMPFILE;
}

/* The folder part of `path` is the read-only folder (or, for O_TMPFILE,
 * `path` itself is). */
static int read_only(const char *path, int flags) {
    const char *folder = getenv("VORN_SHIM_READ_ONLY");
    if (folder == NULL || folder[0] == '\0' || path == NULL)
        return 0;
    if ((flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) == 0)
        return 0;
    const size_t n = strlen(folder);
    if ((flags & O_TMPFILE) == O_TMPFILE)
        return strcmp(path, folder) == 0;
    return strncmp(path, folder, n) == 0 && path[n] == '/' && strchr(path + n + 1, '/') == NULL;
}

static int refused(const char *path, int flags) {
    if (no_tmpfile(flags)) {
        errno = EOPNOTSUPP;
        return 1;
    }
    if (read_only(path, flags)) {
        errno = EROFS;
        return 1;
    }
    return 0;
}

static mode_t mode_of(int flags, va_list args) {
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
}

#define SHIM_OPEN(name)                                                                            \
    int name(const char *path, int flags, ...) {                                                   \
        va_list args;                                                                              \
        va_start(args, flags);                                                                     \
        const mode_t mode = mode_of(flags, args);                                                  \
        va_end(args);                                                                              \
        if (refused(path, flags))                                                                  \
            return -1;                                                                             \
        int (*real)(const char *, int, ...) =                                                      \
            (int (*)(const char *, int, ...))dlsym(RTLD_NEXT, #name);                              \
        return real(path, flags, mode);                                                            \
    }
SHIM_OPEN(open)
SHIM_OPEN(open64)

#define SHIM_OPENAT(name)                                                                          \
    int name(int at, const char *path, int flags, ...) {                                           \
        va_list args;                                                                              \
        va_start(args, flags);                                                                     \
        const mode_t mode = mode_of(flags, args);                                                  \
        va_end(args);                                                                              \
        if (refused(path, flags))                                                                  \
            return -1;                                                                             \
        int (*real)(int, const char *, int, ...) =                                                 \
            (int (*)(int, const char *, int, ...))dlsym(RTLD_NEXT, #name);                         \
        return real(at, path, flags, mode);                                                        \
    }
SHIM_OPENAT(openat)
SHIM_OPENAT(openat64)

/* fopen opens through the C library's own open, out of reach of the
 * functions above. */
FILE *fopen(const char *path, const char *mode) {
    const int writes = mode[0] == 'w' || mode[0] == 'a' || strchr(mode, '+') != NULL;
    if (writes && read_only(path, O_WRONLY)) {
        errno = EROFS;
        return NULL;
    }
    FILE *(*real)(const char *, const char *) =
        (FILE * (*)(const char *, const char *)) dlsym(RTLD_NEXT, "fopen");
    return real(path, mode);
}

FILE *fopen64(const char *path, const char *mode) {
    return fopen(path, mode);
}

int memfd_create(const char *name, unsigned flags) {
    const char *on = getenv("VORN_SHIM_NO_TMPFILE");
    if (on != NULL && on[0] == '1') {
        errno = ENOSYS;
        return -1;
    }
    int (*real)(const char *, unsigned) =
        (int (*)(const char *, unsigned))dlsym(RTLD_NEXT, "memfd_create");
    return real(name, flags);
}
