#ifndef HOST_SRC_RETRYONINTERRUPT_H
#define HOST_SRC_RETRYONINTERRUPT_H

#include <cerrno>

namespace zvf {
namespace storage {

// Calls call() again for as long as it fails with EINTR: a call that a
// signal interrupted has not failed, it has not finished. Not for close(),
// which releases the descriptor even when interrupted.
template <class Call>
auto retryOnInterrupt(const Call& call) -> decltype(call()) {
    for (;;) {
        const auto result = call();
        if (!(result < 0 && errno == EINTR)) {
            return result;
        }
    }
}

}  // namespace storage
}  // namespace zvf

#endif
