/* A host program built against the unpacked Debian package: it asks the
 * library for the version of the file given as argv[1], which the library
 * only knows when that file is the one it was loaded from, and prints a
 * scrambled password to compare with the packaged tool's. */
#include <vorn_b32.h>

#include <stdio.h>

int main(int argc, char **argv)
{
    char version[300] = "";
    char scrambled[64] = "";
    char plain[64] = "";
    if (argc != 3) {
        fprintf(stderr, "usage: host LIBRARY PASSWORD\n");
        return 2;
    }
    get_dll_version(argv[1], version, (int32_t)sizeof version);
    CodePassWord(argv[2], scrambled);
    DecodePassWord(scrambled, plain);
    printf("%s\n%s\n%s\n", version, scrambled, plain);
    return 0;
}
