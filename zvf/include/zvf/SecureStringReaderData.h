#pragma once

#include <cstdint>

namespace zvf {

// Plain bytes handed out by a SecureString.
class SecureStringReaderData {
public:
    char* buffer = nullptr;  // allocated with new[], NUL-terminated, or null
    uint64_t size = 0;       // plain bytes, not counting the NUL
};

}  // namespace zvf
