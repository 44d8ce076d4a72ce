#include "zvf/Mutex.h"

namespace zvf {

Mutex::Mutex() : block(new Block) {
    pthread_mutexattr_init(&block->attribute);
    pthread_mutexattr_settype(&block->attribute, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&block->mutex, &block->attribute);
}

Mutex::~Mutex() {
    if (block == nullptr) {
        return;
    }
    pthread_mutex_destroy(&block->mutex);
    pthread_mutexattr_destroy(&block->attribute);
    delete block;
    block = nullptr;
}

int Mutex::lock() {
    return block == nullptr ? 1 : pthread_mutex_lock(&block->mutex);
}

int Mutex::tryLock() {
    return block == nullptr ? 1 : pthread_mutex_trylock(&block->mutex);
}

int Mutex::unlock() {
    return block == nullptr ? 1 : pthread_mutex_unlock(&block->mutex);
}

pthread_mutex_t* Mutex::native() {
    return block == nullptr ? nullptr : &block->mutex;
}

}  // namespace zvf
