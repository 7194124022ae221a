/*
 * vorn_b32.h - public interface of the Vorn_B32 configuration and service
 * library of the Vorn-Box.
 *
 * All functions have C linkage and may be called from any thread; settings
 * made through the set_* functions belong to the calling thread only.
 * Conversions return 0 on success and a negative code on failure; they never
 * throw.  Text buffers handed in by the caller are never written beyond the
 * size the caller names (or the documented minimum where no size is passed).
 */
#ifndef VORN_B32_H
#define VORN_B32_H

#include <stdint.h>

#if defined(_WIN32)
/* On Windows the module-definition file names the exports (with a leading
 * underscore, at fixed ordinals); an export attribute here would add a second
 * name for each function.  Hosts find the functions with GetProcAddress. */
#define VORN_B32_API
#elif defined(__GNUC__)
#define VORN_B32_API __attribute__((visibility("default")))
#else
#define VORN_B32_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* --- conversions --------------------------------------------------------- */

/* Results of mkconf: 0 or the negative of a code of the error vocabulary. */
#define VORN_CONF_OK 0
#define VORN_CONF_WARNING (-1)       /* a value was cut (or a path is NULL) */
#define VORN_CONF_WRITE_FAILED (-7)  /* the ASCII writer failed otherwise */
#define VORN_CONF_CANNOT_READ (-11)  /* input missing, too small or unreadable */
#define VORN_CONF_CANNOT_WRITE (-12) /* output cannot be written */
#define VORN_CONF_NO_MEMORY (-17)
#define VORN_CONF_WRONG_FORMAT (-70) /* table format is not TF01.5 */
#define VORN_CONF_WRONG_VALUE (-71)
#define VORN_CONF_SYNTAX_ERROR (-72)
#define VORN_CONF_TOO_MANY (-73) /* more maps than the table holds */

/* Compiles cfgfile into binfile (bit 0 of mode set) or turns binfile back into
 * cfgfile (bit 0 clear).  Returns one of the VORN_CONF_ results. */
VORN_B32_API int32_t mkconf(const char *cfgfile, const char *binfile, int32_t mode);

/* Appends the text report of the binary event log binfile to textfile (or only
 * checks the log when textfile is NULL).  message, when given, receives the
 * error text of a negative result (room for 39 bytes plus the file name). */
VORN_B32_API int32_t mkalarm(const char *textfile, const char *binfile, int32_t direction,
                             const char *source, const char *headline, char *message);

/* Sorts the binary call log and writes the lists of outgoing, incoming and
 * rejected calls. */
VORN_B32_API int32_t mklogcall(const char *binfile, const char *outfile, const char *infile,
                               const char *rejectfile, char *message);

/* Merges two call lists into destination (or into first when NULL). */
VORN_B32_API int32_t merge_logcall(const char *first, const char *second, const char *destination);

/* Turns a binary protocol trace into text. */
VORN_B32_API int32_t mktrace(const char *binfile, const char *textfile, char *label);

/* --- diagnostic trace ---------------------------------------------------- */

/* A host's own trace line, printf-like, under the name set by set_tool_name.
 * Written only while set_debug has switched debugging on for this thread. */
VORN_B32_API void ptrace(const char *format, ...);
/* Switches debugging of the calling thread on (non-zero) or off (0). */
VORN_B32_API void set_debug(uint32_t level);

/* --- per-thread settings ------------------------------------------------- */

VORN_B32_API void set_optimize_files(uint32_t value);
VORN_B32_API void set_optimize_ex(uint32_t value);
/* path names a file inside the wanted directory; the directory part is kept.
 * An existing setting is only replaced when force is non-zero. */
VORN_B32_API void set_TmpPath(const char *path, int32_t force);
VORN_B32_API void get_TmpPath(char *buffer, uint32_t size);
/* At most 39 characters are kept; NULL clears the stored password. */
VORN_B32_API void set_Password(const char *password);
/* Returns the stored password, or the built-in default when none is stored. */
VORN_B32_API void get_Password(char *buffer, uint32_t size);
/* At most 79 characters; used as the name of ptrace lines. */
VORN_B32_API void set_tool_name(const char *name);
/* Copies the host's 90-byte device record. */
VORN_B32_API void set_DevInfo(const void *devinfo);
VORN_B32_API void set_global_error(void);

/* --- utilities ----------------------------------------------------------- */

/* With an extension: result is source with its extension replaced (or
 * appended).  Without (NULL): creates a new empty unique file derived from
 * source and returns its path.  result must hold 260 bytes.  Returns result,
 * or NULL when no file could be created. */
VORN_B32_API char *make_fname(const char *source, char *result, const char *extension);
/* second, minute, hour, day, month, year % 100 of the local time. */
VORN_B32_API void conf_gettime(uint8_t *time6);
/* "<number> (serial# 01 A2)"; the text is the calling thread's own and lives
 * until that thread's next call. */
VORN_B32_API const char *cat_number_and_serialno(const char *number, const uint8_t *serial16);
/* Removes every file matching the wildcard pattern; returns -1. */
VORN_B32_API int32_t file_remove(const char *pattern);
/* Overwrites the first 65535 bytes of a regular file three times, then
 * deletes it; returns 0.  -1 when it did not open (its name is still
 * removed) or is no regular file (a folder, FIFO or device is left alone). */
VORN_B32_API int32_t remove_hexfile(const char *path);
/* Reads a hexadecimal number ("1F", "0x1F", "$1F"). */
VORN_B32_API uint32_t atoh(const char *text);
/* "<module> <file version>", shortened to fit size; returns its length. */
VORN_B32_API int32_t get_dll_version(const char *module, char *buffer, int32_t size);
VORN_B32_API int32_t get_vorn_b32_dll_version(char *buffer, int32_t size);
/* Reversible scrambling of letters and digits; result needs strlen(in) + 1. */
VORN_B32_API void CodePassWord(const char *plain, char *result);
VORN_B32_API void DecodePassWord(const char *scrambled, char *result);

#ifdef __cplusplus
}
#endif

#endif /* VORN_B32_H */
