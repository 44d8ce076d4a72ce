#pragma once

#include <cstddef>
#include <string>

namespace zvf {

// Wiping helpers for memory and strings that held secret bytes. The stores go
// through guaranteed_memset, a function of its own that sets every byte of
// the range behind a compiler barrier, so that the optimiser cannot drop them
// as dead stores to memory about to be freed.
class SecureStringUtils {
public:
    SecureStringUtils() = delete;

    static void ZVFZeroMemory(const void* ptr, size_t length);
    static void ZVFZeroMemory(const char* ptr, size_t length);
    // Zeros the character data and leaves the string empty.
    static void ZVFZeroString(std::string& value);
    // Same over size() * sizeof(wchar_t) bytes.
    static void ZVFZeroWstring(std::wstring& value);

    static void guaranteed_memset(void* ptr, int value, size_t length);
};

}  // namespace zvf
