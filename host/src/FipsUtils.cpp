#include "zvf/common/FipsUtils.h"

#include <openssl/evp.h>

#include <atomic>

namespace zvf {
namespace common {

namespace {

std::atomic<int> fipsOverride{-1};

}  // namespace

bool FipsUtils::isFipsEnabled() {
    const int forced = fipsOverride.load();
    if (forced >= 0) {
        return forced != 0;
    }
    // FIPS mode means the default library context fetches algorithms with
    // "fips=yes", as openssl.cnf or the host program configured it.
    return EVP_default_properties_is_fips_enabled(nullptr) == 1;
}

void FipsUtils::setFipsOverrideForTesting(int state) { fipsOverride.store(state < 0 ? -1 : (state != 0 ? 1 : 0)); }

}  // namespace common
}  // namespace zvf
