/* The flat interface used from C, as a native program would, against the
 * scripted hidapi stand-in. */
#include <stdio.h>
#include <string.h>

#include "fake_hidapi.h"
#include "velkreader.h"

static int failures = 0;

#define CHECK(cond)                                                            \
    do {                                                                       \
        if (!(cond)) {                                                         \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                                        \
        }                                                                      \
    } while (0)

int main(void) {
    VelkReaderHandle reader = NULL;
    unsigned char out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    const unsigned char first[4] = {0x0A, 0x0B, 0x0C, 0xEE};
    const unsigned char second[4] = {0x01, 0x02, 0x03, 0xEE};

    /* Failed opens leave the variable alone; without a variable nothing is opened. */
    CHECK(fakeHidSetScript("absent"));
    reader = (VelkReaderHandle)&failures;
    CHECK(VelkReaderOpen(&reader) == 0);
    CHECK(reader == (VelkReaderHandle)&failures);
    reader = NULL;
    CHECK(VelkReaderOpen(NULL) == 0);
    CHECK(fakeHidRecord().opens == 1);

    CHECK(fakeHidSetScript(
        "frame 18 0a 0b 0c; timeout; frame 17 01 02 03; frame 18 01 02 03; error"));
    CHECK(VelkReaderOpen(&reader) == 1);
    CHECK(reader != NULL);
    CHECK(VelkReaderReceiveW26T(reader, out, 3, 100) == 3);
    CHECK(memcmp(out, first, 4) == 0);
    CHECK(VelkReaderReceiveW26T(reader, out, 3, 100) == 0);
    CHECK(VelkReaderReceiveW26(reader, out, (int)sizeof out) == true);
    CHECK(memcmp(out, second, 4) == 0);
    CHECK(VelkReaderReceiveW26(reader, out, 3) == false);
    CHECK(fakeHidStepsLeft() == 0);

    VelkReaderClose(&reader);
    CHECK(reader == NULL);
    CHECK(fakeHidRecord().closes == 1);
    VelkReaderClose(&reader);
    VelkReaderClose(NULL);
    CHECK(VelkReaderReceiveW26T(NULL, out, 3, 0) == 0);
    CHECK(VelkReaderReceiveW26(NULL, out, 3) == false);
    CHECK(fakeHidRecord().closes == 1);

    if (failures == 0) {
        printf("flat interface from C: all checks passed\n");
    }
    return failures == 0 ? 0 : 1;
}
