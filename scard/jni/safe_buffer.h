// Growable, zero-filled byte buffer that builds lists of NUL-terminated
// UTF-16 strings.
#pragma once

#include <jni.h>

namespace velk {

class SafeBuffer {
  public:
    SafeBuffer() = default;
    explicit SafeBuffer(int size);
    SafeBuffer(const SafeBuffer& other);
    SafeBuffer& operator=(const SafeBuffer& other);
    ~SafeBuffer();

    // Exactly size zero bytes; the previous contents are gone. Throws
    // std::bad_alloc, leaving the buffer empty, if memory cannot be had.
    void setSize(int size);
    char* get() { return data; }
    int getSize() const { return size; }

    // The string's UTF-16 code units and a 2-byte terminator, replacing the
    // contents. A null string throws std::invalid_argument.
    void setWideChar(jstring s, JNIEnv* env);
    // The same, appended after the current contents.
    void appendWideChar(jstring s, JNIEnv* env);
    // Two more zero bytes: closes a list of strings.
    void appendNullWideChar();

  private:
    void release();
    // Grows the block to newSize bytes, keeping the old bytes and zeroing the
    // new ones.
    void grow(int newSize);
    void copyWideChars(jstring s, JNIEnv* env, int offset, jsize units);

    char* data = nullptr;
    int size = 0;
};

}  // namespace velk
