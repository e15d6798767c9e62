// A lean build of the PC/SC stand-in for measurements and allocation checks:
// every function gives the same fixed answer, keeps no record and allocates
// nothing; it only counts its calls, per thread, so that concurrent callers do
// not contend on a shared counter. Built as a shared libpcsclite.so.1 it takes
// the place of the real client library for anything that loads that name.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// Calls of the named PC/SC function (e.g. "SCardTransmit") answered so far,
// summed over all threads; -1 for a name the stand-in does not provide.
__attribute__((visibility("default"))) long velk_fake_pcsc_calls(const char* function);

#ifdef __cplusplus
}
#endif

// The fixed answers, for callers that check what came back.
#define VELK_LEAN_PCSC_CONTEXT 0x0C0FFEE
#define VELK_LEAN_PCSC_CARD 0xCA4D
#define VELK_LEAN_PCSC_READER "Fake Reader 00 00"
#define VELK_LEAN_PCSC_READERS "Fake Reader 00 00\0Fake Reader 00 01\0"
#define VELK_LEAN_PCSC_RESPONSE_LENGTH 16
#define VELK_LEAN_PCSC_ATR_LENGTH 5
