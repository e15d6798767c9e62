/* Control side of the scripted hidapi stand-in (hid_open, hid_read_timeout,
 * hid_close). A script is a list of steps, separated by newlines or ';':
 *
 *   absent              the next hid_open finds no device
 *   hold                the next hid_open stays inside hidapi until
 *                       fakeHidRelease (fakeHidHeld tells when it is there)
 *   frame 18 01 02 03   the next read delivers these bytes (hex; any count)
 *   timeout             the next read times out at once (returns 0)
 *   error               the next read fails as on unplug (returns -1)
 *   repeat              start again from the first step (for endless runs;
 *                       steps after it are never reached)
 *   # ...               comment
 *
 * A read with no step left behaves like an idle device: it waits for its
 * timeout (a negative one is capped at one second) and returns 0.
 * Only the first 1024 reads keep their timeout and length (see below), so
 * that an endless run does not grow the stand-in's memory.
 *
 * Built as a shared library named libhidapi-hidraw.so.0, the stand-in replaces
 * its script at each hid_open with the contents of the file named by
 * VELK_FAKE_HIDAPI_SCRIPT and appends one line per event to the file named by
 * VELK_FAKE_HIDAPI_LOG:
 *   open <vendor hex> <product hex> <serial or ->
 *   read <buffer length> <timeout>     read-end <result>
 *   close
 */
#ifndef FAKE_HIDAPI_H
#define FAKE_HIDAPI_H

#ifdef __cplusplus
extern "C" {
#endif

typedef struct FakeHidRecord {
    int opens;                      /* hid_open calls, found or not */
    int closes;                     /* hid_close calls */
    int reads;                      /* hid_read_timeout calls */
    int liveDevices;                /* opened and not yet closed */
    unsigned short vendor, product; /* of the last hid_open */
    int serialGiven;                /* the last hid_open had a serial number */
    int mostOpensAtOnce;            /* most hid_open calls in progress at one time */
} FakeHidRecord;

/* Replaces the remaining steps and clears the records. Returns 0 for a
 * script with an unknown step (then nothing changes). */
int fakeHidSetScript(const char* script);
FakeHidRecord fakeHidRecord(void);
/* Timeout and buffer length of read number index (from 0), or -2 if there
 * was no such read or it is beyond the first 1024. */
int fakeHidReadTimeout(int index);
int fakeHidReadLength(int index);
int fakeHidStepsLeft(void);
/* 1 while a hid_open is held by a hold step. */
int fakeHidHeld(void);
/* Lets a held hid_open go on. */
void fakeHidRelease(void);

#ifdef __cplusplus
}
#endif

#endif /* FAKE_HIDAPI_H */
