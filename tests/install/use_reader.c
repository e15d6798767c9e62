/* A C program as a user writes one against the installed library: opens the
 * reader, waits a second for a card and prints its three bytes. */
#include <stdio.h>
#include <velkreader.h>

int main(void) {
    VelkReaderHandle reader = NULL;
    unsigned char card[3];
    int rc;
    if (!VelkReaderOpen(&reader)) {
        fprintf(stderr, "no reader\n");
        return 1;
    }
    rc = VelkReaderReceiveW26T(reader, card, (int)sizeof card, 1000);
    VelkReaderClose(&reader);
    if (rc != 3) {
        fprintf(stderr, "receive returned %d\n", rc);
        return 1;
    }
    printf("card %02X %02X %02X\n", card[0], card[1], card[2]);
    return 0;
}
