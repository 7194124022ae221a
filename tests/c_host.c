/* A host written in C: loads the shared library through the public header
 * and calls exports of every kind. Exits non-zero on the first mismatch. */
#include "vorn_b32.h"

#include <stdio.h>
#include <string.h>

static int failures = 0;

static void check(int ok, const char *what) {
    if (!ok) {
        fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

int main(void) {
    char buf[260];
    char scrambled[64];
    char plain[64];
    uint8_t t[6];

    check(atoh("0x1F") == 0x1F, "atoh(0x1F)");
    set_TmpPath("/tmp/x/y.cfg", 1);
    get_TmpPath(buf, sizeof buf);
    check(strcmp(buf, "/tmp/x") == 0, "set_TmpPath/get_TmpPath");
    check(get_vorn_b32_dll_version(buf, 10) == 9 && strcmp(buf, "Vorn_B32 ") == 0,
          "get_vorn_b32_dll_version(10)");
    check(get_dll_version("Vorn_B32.DLL", buf, 100) > 13 &&
              strncmp(buf, "Vorn_B32.DLL ", 13) == 0,
          "get_dll_version");
    CodePassWord("Secret-42.x", scrambled);
    DecodePassWord(scrambled, plain);
    check(strcmp(plain, "Secret-42.x") == 0, "password round trip");
    check(make_fname("cfg.txt", buf, ".map") != NULL && strcmp(buf, "cfg.map") == 0,
          "make_fname with extension");
    conf_gettime(t);
    check(t[4] >= 1 && t[4] <= 12, "conf_gettime month");
    ptrace("host line %d\n", 1);
    set_debug(0);
    check(mkconf(NULL, "x.bin", 1) == -1, "mkconf without path");
    printf("c_host: %s\n", failures == 0 ? "ok" : "failed");
    return failures == 0 ? 0 : 1;
}
