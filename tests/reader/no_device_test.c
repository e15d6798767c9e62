/* The shared library with the real hidapi on a machine without the reader:
 * opening finds nothing and leaves the variable alone. */
#include <stdio.h>

#include "velkreader.h"

int main(void) {
    int marker = 0;
    VelkReaderHandle reader = (VelkReaderHandle)&marker;
    if (VelkReaderOpen(&reader) != 0 || reader != (VelkReaderHandle)&marker) {
        fprintf(stderr, "VelkReaderOpen found a reader or touched the variable\n");
        return 1;
    }
    printf("no reader attached: VelkReaderOpen returned 0\n");
    return 0;
}
