#include "zvf/SecureStringUtils.h"

#include <cstring>

namespace zvf {

// Kept out of line, and followed by an empty assembler statement that takes
// the pointer and clobbers memory: the compiler must assume that statement
// reads every byte just written, so it can neither drop the stores as dead
// (even when the memory is freed right afterwards) nor move them past it.
// memset writes every byte of the range; unlike a loop of volatile byte
// stores it runs at memory speed, which matters for large secrets that are
// wiped several times per read.
__attribute__((noinline)) void SecureStringUtils::guaranteed_memset(void* ptr, int value, size_t length) {
    if (ptr == nullptr || length == 0) {
        return;
    }
    // Byte-by-byte stores in a function that is never inlined; the empty
    // assembler statement that "reads" the buffer afterwards tells the
    // optimiser the bytes are used, so the stores cannot be dropped as dead
    // even when the caller frees the buffer next. The loop itself may still
    // be vectorised, which keeps wiping as fast as memset.
    unsigned char* bytes = static_cast<unsigned char*>(ptr);
    const unsigned char byte = static_cast<unsigned char>(value);
    for (size_t i = 0; i < length; ++i) {
        bytes[i] = byte;
    }
    __asm__ __volatile__("" : : "r"(ptr) : "memory");
}

void SecureStringUtils::ZVFZeroMemory(const void* ptr, size_t length) {
    if (ptr == nullptr || length == 0) {
        return;
    }
    guaranteed_memset(const_cast<void*>(ptr), 0, length);
}

void SecureStringUtils::ZVFZeroMemory(const char* ptr, size_t length) {
    ZVFZeroMemory(static_cast<const void*>(ptr), length);
}

void SecureStringUtils::ZVFZeroString(std::string& value) {
    value[0] = '\0';  // on an empty string this is the terminator, already NUL
    ZVFZeroMemory(static_cast<const void*>(value.data()), value.size());
    value.clear();
}

void SecureStringUtils::ZVFZeroWstring(std::wstring& value) {
    value[0] = L'\0';
    ZVFZeroMemory(static_cast<const void*>(value.data()), value.size() * sizeof(wchar_t));
    value.clear();
}

}  // namespace zvf
