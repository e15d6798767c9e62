#include "jni/safe_buffer.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace velk {

namespace {

jsize checkedLength(jstring s, JNIEnv* env) {
    if (s == nullptr) {
        throw std::invalid_argument("SafeBuffer: null string");
    }
    return env->GetStringLength(s);
}

// A size past what the buffer can count is a failed allocation: computed
// wide, so that a long string never wraps it around to something small.
int checkedSize(long long bytes) {
    if (bytes > std::numeric_limits<int>::max()) {
        throw std::bad_alloc();
    }
    return static_cast<int>(bytes);
}

long long wideBytes(jsize units) { return 2LL * units + 2; }

}  // namespace

SafeBuffer::SafeBuffer(int size) { setSize(size); }

SafeBuffer::SafeBuffer(const SafeBuffer& other) {
    if (other.size > 0) {
        setSize(other.size);
        std::memcpy(data, other.data, static_cast<size_t>(size));
    }
}

SafeBuffer& SafeBuffer::operator=(const SafeBuffer& other) {
    if (this == &other) {
        return *this;
    }
    release();
    if (other.data != nullptr && other.size > 0) {
        setSize(other.size);
        std::memcpy(data, other.data, static_cast<size_t>(size));
    }
    return *this;
}

SafeBuffer::~SafeBuffer() { release(); }

void SafeBuffer::release() {
    std::free(data);
    data = nullptr;
    size = 0;
}

void SafeBuffer::setSize(int newSize) {
    release();
    if (newSize <= 0) {
        return;
    }
    data = static_cast<char*>(std::calloc(static_cast<size_t>(newSize), 1));
    if (data == nullptr) {
        throw std::bad_alloc();
    }
    size = newSize;
}

void SafeBuffer::grow(int newSize) {
    auto* grown = static_cast<char*>(std::realloc(data, static_cast<size_t>(newSize)));
    if (grown == nullptr) {
        throw std::bad_alloc();
    }
    std::memset(grown + size, 0, static_cast<size_t>(newSize - size));
    data = grown;
    size = newSize;
}

void SafeBuffer::copyWideChars(jstring s, JNIEnv* env, int offset, jsize units) {
    const jchar* chars = env->GetStringChars(s, nullptr);
    if (chars != nullptr) {
        std::memcpy(data + offset, chars, static_cast<size_t>(units) * sizeof(jchar));
        env->ReleaseStringChars(s, chars);
    }
}

void SafeBuffer::setWideChar(jstring s, JNIEnv* env) {
    jsize units = checkedLength(s, env);
    setSize(checkedSize(wideBytes(units)));
    copyWideChars(s, env, 0, units);
}

void SafeBuffer::appendWideChar(jstring s, JNIEnv* env) {
    if (data == nullptr) {
        setWideChar(s, env);
        return;
    }
    jsize units = checkedLength(s, env);
    int old = size;
    grow(checkedSize(old + wideBytes(units)));
    copyWideChars(s, env, old, units);
}

void SafeBuffer::appendNullWideChar() { grow(checkedSize(size + 2LL)); }

}  // namespace velk
