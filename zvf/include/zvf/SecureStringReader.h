#pragma once

#include <cstddef>
#include <cstdint>

#include "zvf/SecureStringReaderData.h"

namespace zvf {

// Sole holder of the plain bytes of a SecureString. It owns its buffer and
// overwrites it with zeros before freeing it. Not copyable; not thread-safe.
class SecureStringReader {
public:
    SecureStringReader();
    // Adopts `buffer`, which must come from new[]; same rules as setValue.
    SecureStringReader(char* buffer, size_t size);
    ~SecureStringReader();

    SecureStringReader(const SecureStringReader&) = delete;
    SecureStringReader& operator=(const SecureStringReader&) = delete;

    // Wipes and frees the current buffer, then takes ownership of `buffer`.
    // Returns true when buffer and size are both non-zero; otherwise nothing is
    // kept (a non-null buffer is freed) and false is returned.
    bool setValue(char* buffer, size_t size);

    // The plain bytes, or "" when there are none.
    const char* c_str() const;
    uint64_t getBufSize() const;

private:
    void destroyBuffer();

    SecureStringReaderData data;
};

}  // namespace zvf
