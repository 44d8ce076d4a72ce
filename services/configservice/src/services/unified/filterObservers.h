#ifndef UNIFIED_FILTEROBSERVERS_H
#define UNIFIED_FILTEROBSERVERS_H

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include "unified/UnifiedBusinessObjectObserver.h"
#include "zvf/Mutex.h"
#include "zvf/ScopedLock.h"

namespace ZVFUnified {

// The live observers of type T in a business object's observer list, in list
// order, and the list pruned of expired entries. An expired entry is replaced
// by the last unexamined one (swap with the last, then shrink), so pruning
// costs no shifting but changes the order of the observers that remain.
// Live observers of other types stay in the list and are not returned.
//
// The caller holds the list's lock. A live observer that is not returned is
// parked in keepAlive when given, so that, should this be its last strong
// reference, it is destroyed only after the caller has released the lock
// (its destructor may well remove itself from this very list).
template <class T>
std::vector<std::shared_ptr<T>> filterObservers(
    std::vector<std::weak_ptr<UnifiedBusinessObjectObserver>>& list,
    std::vector<std::shared_ptr<UnifiedBusinessObjectObserver>>* keepAlive = nullptr) {
    std::vector<std::shared_ptr<T>> result;
    std::size_t i = 0;
    std::size_t n = list.size();
    while (i < n) {
        std::shared_ptr<UnifiedBusinessObjectObserver> alive = list[i].lock();
        if (alive) {
            std::shared_ptr<T> typed = std::dynamic_pointer_cast<T>(alive);
            if (typed) {
                result.push_back(std::move(typed));
            } else if (keepAlive) {
                keepAlive->push_back(std::move(alive));
            }
            ++i;
        } else {
            --n;
            std::swap(list[i], list[n]);
        }
    }
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(n), list.end());
    return result;
}

// filterObservers with the list's lock taken here and held only while the
// list is filtered; the observers of other types it parks are released after
// the lock. The fire operations of the business-object layer use it.
template <class T>
std::vector<std::shared_ptr<T>> filterObserversUnderLock(
    zvf::Mutex& lock, std::vector<std::weak_ptr<UnifiedBusinessObjectObserver>>& list) {
    std::vector<std::shared_ptr<UnifiedBusinessObjectObserver>> others;  // destroyed after the guard
    zvf::ScopedLock guard(lock);
    return filterObservers<T>(list, &others);
}

}  // namespace ZVFUnified

#endif
