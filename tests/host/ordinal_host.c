/* A host of the Windows DLL written the way the box's own management programs
 * are: built with the plain MinGW-w64 C compiler against vorn_b32.h, it loads
 * Vorn_B32.dll at run time, finds each of the 26 exports by its name (with the
 * leading underscore) and by its ordinal, checks that both name the same
 * function, and calls every export through each of the two pointers.  It also
 * calls one export through the import library, as programs linked against
 * the header do.  Exits 0 when every call answered as documented; each
 * mismatch is printed. */
#include "vorn_b32.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>

/* The export table: name and ordinal, in the order of the module-definition
 * file. */
#define VORN_EXPORTS(X)                                                                            \
    X(CodePassWord, 1)                                                                             \
    X(DecodePassWord, 2)                                                                           \
    X(atoh, 3)                                                                                     \
    X(cat_number_and_serialno, 4)                                                                  \
    X(conf_gettime, 5)                                                                             \
    X(file_remove, 6)                                                                              \
    X(get_Password, 7)                                                                             \
    X(get_TmpPath, 8)                                                                              \
    X(get_dll_version, 9)                                                                          \
    X(get_vorn_b32_dll_version, 10)                                                                \
    X(make_fname, 11)                                                                              \
    X(merge_logcall, 12)                                                                           \
    X(mkalarm, 13)                                                                                 \
    X(mkconf, 14)                                                                                  \
    X(mklogcall, 15)                                                                               \
    X(mktrace, 16)                                                                                 \
    X(ptrace, 17)                                                                                  \
    X(remove_hexfile, 18)                                                                          \
    X(set_DevInfo, 19)                                                                             \
    X(set_Password, 20)                                                                            \
    X(set_TmpPath, 21)                                                                             \
    X(set_debug, 22)                                                                               \
    X(set_global_error, 23)                                                                        \
    X(set_optimize_ex, 24)                                                                         \
    X(set_optimize_files, 25)                                                                      \
    X(set_tool_name, 26)

/* One pointer of the header's own type per export. */
struct api {
#define VORN_FIELD(name, ordinal) __typeof__(&name) name;
    VORN_EXPORTS(VORN_FIELD)
#undef VORN_FIELD
};

static int failures;

static void expect(int ok, const char *via, const char *what) {
    if (!ok) {
        printf("ordinal_host: %s: %s\n", via, what);
        ++failures;
    }
}

/* Fills both tables; every export must be there under both keys, at one
 * address. */
static void find_exports(HMODULE dll, struct api *by_name, struct api *by_ordinal) {
#define VORN_FIND(name, ordinal)                                                                   \
    {                                                                                              \
        FARPROC named = GetProcAddress(dll, "_" #name);                                            \
        FARPROC numbered = GetProcAddress(dll, MAKEINTRESOURCEA(ordinal));                         \
        expect(named != NULL, "name", "_" #name " is not exported");                               \
        expect(numbered != NULL, "ordinal", #name " is not at ordinal " #ordinal);                 \
        expect(named == numbered, "ordinal", "_" #name " is not ordinal " #ordinal);               \
        by_name->name = (__typeof__(&name))(void (*)(void))named;                                  \
        by_ordinal->name = (__typeof__(&name))(void (*)(void))numbered;                            \
        if (!named || !numbered)                                                                   \
            return;                                                                                \
    }
    VORN_EXPORTS(VORN_FIND)
#undef VORN_FIND
}

static int file_exists(const char *path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

static void make_file(const char *path) {
    FILE *f = fopen(path, "wb");
    if (f) {
        fputs("x", f);
        fclose(f);
    }
}

/* Every export once: settings are made through `set` and read back through
 * `get`, so that a pointer found one way sees what the other one stored. */
static void call_all(const struct api *set, const struct api *get, const char *via) {
    char buf[600], scrambled[64], plain[64];
    uint8_t time6[6] = {0}, serial[16] = {0x01, 0xA2}, devinfo[90] = {0};

    expect(get->atoh("0x1F") == 0x1F && set->atoh("$ff") == 0xFF, via, "atoh");
    set->CodePassWord("Secret-42.x", scrambled);
    get->DecodePassWord(scrambled, plain);
    expect(strcmp(plain, "Secret-42.x") == 0 && strcmp(scrambled, plain) != 0, via,
           "CodePassWord/DecodePassWord");
    expect(strncmp(get->cat_number_and_serialno("0301", serial), "0301 (serial# ", 14) == 0, via,
           "cat_number_and_serialno");
    get->conf_gettime(time6);
    expect(time6[4] >= 1 && time6[4] <= 12 && time6[3] >= 1 && time6[3] <= 31, via,
           "conf_gettime");

    set->set_Password("Ordinal-7");
    get->get_Password(buf, sizeof buf);
    expect(strcmp(buf, "Ordinal-7") == 0, via, "set_Password/get_Password");
    set->set_TmpPath("/tmp/x/y.cfg", 1);
    get->get_TmpPath(buf, sizeof buf);
    expect(strcmp(buf, "/tmp/x") == 0, via, "set_TmpPath/get_TmpPath");

    expect(get->get_vorn_b32_dll_version(buf, 10) == 9 && strcmp(buf, "Vorn_B32 ") == 0, via,
           "get_vorn_b32_dll_version");
    expect(get->get_dll_version("Vorn_B32.DLL", buf, 100) > 13 &&
               strncmp(buf, "Vorn_B32.DLL ", 13) == 0,
           via, "get_dll_version");

    expect(get->make_fname("cfg.txt", buf, ".map") == buf && strcmp(buf, "cfg.map") == 0, via,
           "make_fname with an extension");
    expect(get->make_fname("./ordinal.tmp", buf, NULL) == buf && file_exists(buf), via,
           "make_fname creating a unique file");
    expect(get->remove_hexfile(buf) == 0 && !file_exists(buf), via, "remove_hexfile");
    make_file("ordinal-a.tmp");
    make_file("ordinal-b.tmp");
    expect(get->file_remove("ordinal-?.tmp") == -1 && !file_exists("ordinal-a.tmp") &&
               !file_exists("ordinal-b.tmp"),
           via, "file_remove");

    set->set_tool_name("OHOST");
    set->set_debug(0);
    get->ptrace("ordinal host line %d of %s\n", 1, via);
    set->set_DevInfo(devinfo);
    set->set_global_error();
    set->set_optimize_files(0);
    set->set_optimize_ex(0);

    expect(get->mkconf(NULL, "ordinal.bin", 1) == VORN_CONF_WARNING, via, "mkconf without a file");
    expect(get->mkconf("no-such.cfg", "ordinal.bin", 1) == VORN_CONF_CANNOT_READ, via,
           "mkconf of a missing file");
    buf[0] = 0;
    expect(get->mkalarm("ordinal-alarm.txt", "no-such.bin", 0, NULL, NULL, buf) == -1 &&
               strcmp(buf, "Cannot Read \"no-such.bin\"!\n") == 0,
           via, "mkalarm of a missing log");
    buf[0] = 0;
    expect(get->mklogcall("no-such.bin", "ordinal-out.txt", NULL, NULL, buf) == -1 &&
               strcmp(buf, "Cannot Read \"no-such.bin\"!\n") == 0,
           via, "mklogcall of a missing log");
    expect(get->merge_logcall("no-such-1.txt", "no-such-2.txt", "ordinal-m.txt") == -2, via,
           "merge_logcall of missing lists");
    buf[0] = 0;
    expect(get->mktrace("no-such.bin", "ordinal-t.txt", buf) == -1, via,
           "mktrace of a missing trace");
}

int main(int argc, char **argv) {
    const char *path = argc > 1 ? argv[1] : "Vorn_B32.dll";
    struct api by_name, by_ordinal;
    HMODULE dll = LoadLibraryA(path);
    if (!dll) {
        printf("ordinal_host: cannot load %s (error %lu)\n", path, (unsigned long)GetLastError());
        return 1;
    }
    memset(&by_name, 0, sizeof by_name);
    memset(&by_ordinal, 0, sizeof by_ordinal);
    find_exports(dll, &by_name, &by_ordinal);
    if (failures == 0) {
        call_all(&by_ordinal, &by_name, "set by ordinal, read by name");
        call_all(&by_name, &by_ordinal, "set by name, read by ordinal");
    }
    /* The import library binds the header's names to the same functions. */
    expect(atoh("0x2A") == 42, "import library", "atoh");
    FreeLibrary(dll);
    printf("ordinal_host: %s\n", failures ? "failed" : "ok");
    return failures != 0;
}
