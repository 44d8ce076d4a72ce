#ifndef ZVF_COMMON_FIPSUTILS_H
#define ZVF_COMMON_FIPSUTILS_H

#include "NuvrixHostExport.h"

namespace zvf {
namespace common {

class NUVRIX_HOST_API FipsUtils {
public:
    // Whether the process runs in FIPS mode: OpenSSL's default properties
    // ask for FIPS, unless a test override is in force.
    static bool isFipsEnabled();

    // Tests only: force the answer (1 on, 0 off), or -1 to ask OpenSSL again.
    static void setFipsOverrideForTesting(int state);
};

}  // namespace common
}  // namespace zvf

#endif
