#pragma once

#include <cstdint>

namespace zvf {

// Owned byte buffer that is filled with 0xFF when allocated and overwritten
// with zeros before it is freed, so that neither stale heap contents nor the
// bytes it held outlive it. Not copyable.
class ByteBlob {
public:
    ByteBlob();
    explicit ByteBlob(uint64_t size);
    ~ByteBlob();

    ByteBlob(const ByteBlob&) = delete;
    ByteBlob& operator=(const ByteBlob&) = delete;

    // Destroys the old bytes, then allocates `size` bytes of 0xFF.
    void reallocateSize(uint64_t size);
    // The same, except that an allocation that holds `size` bytes and not
    // much more is kept: its old bytes are overwritten with 0xFF instead of
    // being freed. Saves the allocation when a value of similar length
    // replaces the last one.
    void refill(uint64_t size);
    // Zeros every allocated byte, frees them and forgets them.
    void destroyData();

    unsigned char* getData() const { return data; }
    uint64_t getSize() const { return size; }
    // Records a smaller size once fewer bytes than allocated are in use (the
    // cipher text is allocated with room for its padding block). A larger size
    // is ignored.
    void shrinkSize(uint64_t newSize);

private:
    unsigned char* data;  // allocated with new[], or null
    uint64_t size;
    uint64_t allocated;  // bytes of data, all of them wiped by destroyData
};

}  // namespace zvf
