#include "zvf/SecureStringUtils.h"

namespace zvf {

// Kept out of line and written through a volatile pointer: the compiler must
// perform every store even when the memory is freed right afterwards.
__attribute__((noinline)) void SecureStringUtils::guaranteed_memset(void* ptr, int value, size_t length) {
    volatile unsigned char* bytes = static_cast<volatile unsigned char*>(ptr);
    const unsigned char byte = static_cast<unsigned char>(value);
    for (size_t i = 0; i < length; ++i) {
        bytes[i] = byte;
    }
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
