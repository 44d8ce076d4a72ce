#include "zvf/ByteBlob.h"

#include <cstring>

#include "zvf/SecureStringUtils.h"

namespace zvf {

ByteBlob::ByteBlob() : data(nullptr), size(0), allocated(0) {}

ByteBlob::ByteBlob(uint64_t size) : data(nullptr), size(0), allocated(0) {
    reallocateSize(size);
}

ByteBlob::~ByteBlob() {
    destroyData();
}

void ByteBlob::reallocateSize(uint64_t newSize) {
    destroyData();
    // A size of 0 allocates too (an empty array), like any other size.
    data = new unsigned char[newSize];
    std::memset(data, 0xFF, newSize);
    size = newSize;
    allocated = newSize;
}

void ByteBlob::refill(uint64_t newSize) {
    if (data == nullptr || allocated < newSize || allocated > 2 * newSize + 64) {
        reallocateSize(newSize);
        return;
    }
    std::memset(data, 0xFF, allocated);
    size = newSize;
}

void ByteBlob::destroyData() {
    if (data != nullptr) {
        SecureStringUtils::guaranteed_memset(data, 0, allocated);
        delete[] data;
        data = nullptr;
    }
    size = 0;
    allocated = 0;
}

void ByteBlob::shrinkSize(uint64_t newSize) {
    if (newSize <= size) {
        size = newSize;
    }
}

}  // namespace zvf
