// The keypad's thread binds pthread at the versions it had before glibc 2.34
// moved it into the C library, so that the driver also loads into the pcscd of
// an older system (which has libpthread loaded). The link wraps these three
// calls (--wrap) to the old versions below.
#include <pthread.h>

#if defined(__x86_64__)
#define VELK_CREATE "GLIBC_2.2.5"
#define VELK_JOIN "GLIBC_2.2.5"
#define VELK_SETCLOCK "GLIBC_2.3.3"
#elif defined(__i386__)
#define VELK_CREATE "GLIBC_2.1"
#define VELK_JOIN "GLIBC_2.0"
#define VELK_SETCLOCK "GLIBC_2.3.3"
#elif defined(__aarch64__)
#define VELK_CREATE "GLIBC_2.17"
#define VELK_JOIN "GLIBC_2.17"
#define VELK_SETCLOCK "GLIBC_2.17"
#elif defined(__arm__)
#define VELK_CREATE "GLIBC_2.4"
#define VELK_JOIN "GLIBC_2.4"
#define VELK_SETCLOCK "GLIBC_2.4"
#else
#error "no pthread versions known for this architecture"
#endif

extern "C" {

int velk_old_pthread_create(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
int velk_old_pthread_join(pthread_t, void**);
int velk_old_pthread_condattr_setclock(pthread_condattr_t*, clockid_t);
__asm__(".symver velk_old_pthread_create, pthread_create@" VELK_CREATE);
__asm__(".symver velk_old_pthread_join, pthread_join@" VELK_JOIN);
__asm__(".symver velk_old_pthread_condattr_setclock, pthread_condattr_setclock@" VELK_SETCLOCK);

int __wrap_pthread_create(pthread_t* thread, const pthread_attr_t* attr, void* (*run)(void*),
                          void* arg) {
    return velk_old_pthread_create(thread, attr, run, arg);
}

int __wrap_pthread_join(pthread_t thread, void** result) {
    return velk_old_pthread_join(thread, result);
}

int __wrap_pthread_condattr_setclock(pthread_condattr_t* attr, clockid_t clock) {
    return velk_old_pthread_condattr_setclock(attr, clock);
}

}  // extern "C"
