#ifndef CONFIGSERVICE_CONFIGFILECACHETIMERCALLBACK_H
#define CONFIGSERVICE_CONFIGFILECACHETIMERCALLBACK_H

#include <string>

#include "ConfigServiceExport.h"

namespace ZVFUnified {

// What a client of ConfigFileCacheTimer hands in: the file the timer is for
// (the timer's identity) and the action to run when it expires. timerFired()
// is called once, on the host task-dispatcher thread, with no timer lock held.
class CONFIGSERVICE_API ConfigFileCacheTimerCallBack {
public:
    virtual void timerFired() = 0;
    virtual std::string getFileName() = 0;
    virtual ~ConfigFileCacheTimerCallBack() = default;
};

}  // namespace ZVFUnified

#endif
