/* The smallest program of the build's target: if this machine can start it,
 * it can start the build's test programs too. */
#include <stdio.h>

int main(void) {
    printf("runs %u\n", (unsigned)(sizeof(void *) * 8));
    return 0;
}
