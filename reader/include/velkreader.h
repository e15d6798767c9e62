/* Flat interface of libvelkreader: a USB HID card reader (vendor 0xFFFF,
 * product 0x0001) that delivers Wiegand-26 card reads. Usable from C and C++.
 * A handle is owned by the caller from VelkReaderOpen until VelkReaderClose.
 *
 * Threads: VelkReaderOpen may be called from any number of threads at once
 * (the library lets one open at a time into hidapi, Java callers included).
 * Calls on different handles may overlap freely. Calls on one handle may not:
 * use a handle from one thread at a time, and never close it while another
 * thread waits in a receive on it (the Java class velksdk.VelkReader arranges
 * that for its callers). */
#ifndef VELKREADER_H
#define VELKREADER_H

#include <stdbool.h>

#if defined(__GNUC__)
#define VELKREADER_API __attribute__((visibility("default")))
#else
#define VELKREADER_API
#endif

#ifdef __cplusplus
namespace velk {
class Interface;
}
/* For C++ callers a handle is the reader's base-class pointer. */
typedef velk::Interface VelkReaderObject;
extern "C" {
#else
typedef struct VelkReaderObject VelkReaderObject;
#endif

typedef VelkReaderObject* VelkReaderHandle;

/* Opens the first matching reader. Returns 1 after storing its handle in
 * *handle; 0 when no reader could be opened (or handle is NULL), leaving
 * *handle untouched. */
VELKREADER_API int VelkReaderOpen(VelkReaderHandle* handle);

/* Closes and frees the reader in *handle, then sets *handle to NULL. Does
 * nothing when handle or *handle is NULL. */
VELKREADER_API void VelkReaderClose(VelkReaderHandle* handle);

/* Waits without limit for a card read. True when the read's three data bytes
 * were stored at out[0..2]; false on a reader error, a closed reader, a NULL
 * handle, a NULL out or len below 3. */
VELKREADER_API bool VelkReaderReceiveW26(VelkReaderHandle handle, void* out, int len);

/* One wait of at most timeout milliseconds (0 and negative values mean what
 * they mean to hidapi: poll, no limit). Returns 3 when the three data bytes
 * were stored at out[0..2]; 0 when no card was read, and for a NULL handle;
 * -1 on a reader error, a closed reader, a NULL out or len below 3. */
VELKREADER_API int VelkReaderReceiveW26T(VelkReaderHandle handle, void* out, int len, int timeout);

#ifdef __cplusplus
}
#endif

#endif /* VELKREADER_H */
