/* A host written in C: links the shared library through the public header
 * and calls exports of every kind; exits non-zero on a mismatch. */
#include "vorn_b32.h"

#include <stdio.h>
#include <string.h>

int main(void) {
    char buf[260], scrambled[64], plain[64];
    uint8_t t[6] = {0};
    int ok = atoh("0x1F") == 0x1F;
    set_TmpPath("/tmp/x/y.cfg", 1);
    get_TmpPath(buf, sizeof buf);
    ok = ok && strcmp(buf, "/tmp/x") == 0;
    ok = ok && get_vorn_b32_dll_version(buf, 10) == 9 && strcmp(buf, "Vorn_B32 ") == 0;
    ok = ok && get_dll_version("Vorn_B32.DLL", buf, 100) > 13 &&
         strncmp(buf, "Vorn_B32.DLL ", 13) == 0;
    CodePassWord("Secret-42.x", scrambled);
    DecodePassWord(scrambled, plain);
    ok = ok && strcmp(plain, "Secret-42.x") == 0;
    ok = ok && make_fname("cfg.txt", buf, ".map") == buf && strcmp(buf, "cfg.map") == 0;
    conf_gettime(t);
    ptrace("host line %d\n", 1);
    ok = ok && t[4] >= 1 && t[4] <= 12 && mkconf(NULL, "x.bin", 1) == -1;
    printf("c_host: %s\n", ok ? "ok" : "failed");
    return !ok;
}
