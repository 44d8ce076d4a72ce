#ifndef ZVF_COMMON_BACKGROUNDTIMERCALLBACK_H
#define ZVF_COMMON_BACKGROUNDTIMERCALLBACK_H

#include "NuvrixHostExport.h"

namespace zvf {
namespace common {

class NUVRIX_HOST_API BackgroundTimerCallback {
public:
    virtual ~BackgroundTimerCallback() = default;
    virtual void onTimer() = 0;
};

}  // namespace common
}  // namespace zvf

#endif
