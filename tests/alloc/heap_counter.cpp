#include "heap_counter.h"

#include <cerrno>
#include <cstddef>

// glibc's own allocator, which the replacements below forward to.
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
}

namespace heapcount {
namespace {

// The tests run on one thread; the counter needs no synchronisation.
bool counting = false;
long allocations = 0;

void note() {
    if (counting) {
        ++allocations;
    }
}

}  // namespace

void start() {
    allocations = 0;
    counting = true;
}

long stop() {
    counting = false;
    return allocations;
}

Pause::Pause() : wasCounting(counting) { counting = false; }

Pause::~Pause() { counting = wasCounting; }

}  // namespace heapcount

extern "C" {

void* malloc(std::size_t size) {
    heapcount::note();
    return __libc_malloc(size);
}

void* calloc(std::size_t count, std::size_t size) {
    heapcount::note();
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, std::size_t size) {
    heapcount::note();
    return __libc_realloc(pointer, size);
}

void* memalign(std::size_t alignment, std::size_t size) {
    heapcount::note();
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(std::size_t alignment, std::size_t size) {
    heapcount::note();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    heapcount::note();
    void* pointer = __libc_memalign(alignment, size);
    if (pointer == nullptr) {
        return ENOMEM;
    }
    *out = pointer;
    return 0;
}

}  // extern "C"
