// Working storage of one native call: on the stack up to a fixed size, so
// that a usual call takes nothing from the heap; more goes to the heap.
#pragma once

#include <cstddef>
#include <cstring>
#include <vector>

namespace velk {

// n elements; those on the stack start unset, those on the heap zeroed.
template <typename T, std::size_t N>
class StackBuffer {
  public:
    explicit StackBuffer(std::size_t n) {
        if (n > N) {
            heap.resize(n);
            elements = heap.data();
        }
    }
    StackBuffer(const StackBuffer&) = delete;
    StackBuffer& operator=(const StackBuffer&) = delete;

    T* data() { return elements; }
    T& operator[](std::size_t i) { return elements[i]; }
    const T& operator[](std::size_t i) const { return elements[i]; }

  private:
    T local[N];
    std::vector<T> heap;
    T* elements = local;
};

// NUL-terminated strings, one after the other.
template <std::size_t N>
class StackStrings {
  public:
    StackStrings() = default;
    StackStrings(const StackStrings&) = delete;
    StackStrings& operator=(const StackStrings&) = delete;

    // Appends a copy of s and returns where it starts, for at() once all are in.
    std::size_t append(const char* s) {
        std::size_t n = std::strlen(s) + 1;
        if (heap.empty() && used + n <= N) {
            std::memcpy(local + used, s, n);
        } else {
            if (heap.empty()) {
                heap.assign(local, local + used);
            }
            heap.insert(heap.end(), s, s + n);
        }
        std::size_t start = used;
        used += n;
        return start;
    }

    const char* at(std::size_t start) const { return (heap.empty() ? local : heap.data()) + start; }

  private:
    char local[N];
    std::vector<char> heap;
    std::size_t used = 0;
};

}  // namespace velk
