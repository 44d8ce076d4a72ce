#include "zvf/SecureStringUtils.h"

#include <cstring>

namespace zvf {

// Stores the value byte by byte in a function that is never inlined, then
// runs an empty assembler statement that takes the pointer and clobbers
// memory: the compiler must assume that statement reads every byte just
// written, so it can neither drop the stores as dead (even when the caller
// frees the memory right afterwards) nor move them past it. The loop itself
// may still be vectorised, which keeps wiping large secrets as fast as memset.
__attribute__((noinline)) void SecureStringUtils::guaranteed_memset(void* ptr, int value, size_t length) {
    if (ptr == nullptr || length == 0) {
        return;
    }
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
