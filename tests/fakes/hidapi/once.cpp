// pthread_once for the stand-in's static C++ runtime, whose locale and
// condition variable code call it. The C library's own carries the version of
// 2.34, where it moved into libc; the Debian 11 userland of the matrix has 2.31.
// Linked with --wrap=pthread_once; one lock for all, taken again by an
// initialiser that runs another once.
#include <pthread.h>

extern "C" __attribute__((visibility("hidden"))) int __wrap_pthread_once(pthread_once_t* once,
                                                                         void (*init)()) {
    static pthread_mutex_t lock = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;
    constexpr pthread_once_t kDone = 1;
    if (__atomic_load_n(once, __ATOMIC_ACQUIRE) == kDone) {
        return 0;
    }
    pthread_mutex_lock(&lock);
    if (__atomic_load_n(once, __ATOMIC_RELAXED) != kDone) {
        init();
        __atomic_store_n(once, kDone, __ATOMIC_RELEASE);
    }
    pthread_mutex_unlock(&lock);
    return 0;
}
