#include "zvf/SecureStringReader.h"

#include "zvf/SecureStringUtils.h"

namespace zvf {

namespace {

const char kEmpty[] = "";

}  // namespace

SecureStringReader::SecureStringReader() = default;

SecureStringReader::SecureStringReader(char* buffer, size_t size) {
    setValue(buffer, size);
}

SecureStringReader::~SecureStringReader() {
    destroyBuffer();
}

void SecureStringReader::destroyBuffer() {
    if (data.buffer != nullptr) {
        SecureStringUtils::guaranteed_memset(data.buffer, 0, static_cast<size_t>(data.size));
        delete[] data.buffer;
    }
    data.buffer = nullptr;
    data.size = 0;
}

bool SecureStringReader::setValue(char* buffer, size_t size) {
    destroyBuffer();
    if (buffer == nullptr || size == 0) {
        delete[] buffer;  // ownership passed to us either way
        return false;
    }
    data.buffer = buffer;
    data.size = size;
    return true;
}

const char* SecureStringReader::c_str() const {
    return data.buffer == nullptr || data.size == 0 ? kEmpty : data.buffer;
}

uint64_t SecureStringReader::getBufSize() const {
    return data.size;
}

}  // namespace zvf
