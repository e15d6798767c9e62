// Linked into each library together with the static C++ runtime.
//
// The runtime's string and exception code asks the C library whether the
// process has a single thread, to skip atomic reference counts, through
// __libc_single_threaded. Only C libraries from 2.32 on have that flag, so this
// library's own copy, always 0, binds the runtime's references here instead:
// the counts are then always atomic, which is right in a JVM anyway. The
// version script keeps the copy hidden.
extern "C" {
__attribute__((visibility("hidden"))) char __libc_single_threaded = 0;
}
