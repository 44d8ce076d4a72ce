#ifndef ZVFSYSTEMMONITOR_POWEREVENTTYPEENUM_H
#define ZVFSYSTEMMONITOR_POWEREVENTTYPEENUM_H

namespace ZVFSystemMonitor {
namespace PowerEventTypeEnum {
enum PowerEventType {
    PowerSuspend = 1,
    PowerResume = 2,
    PowerDown = 3,
    PowerSourceChanged = 4,
};
}  // namespace PowerEventTypeEnum
}  // namespace ZVFSystemMonitor

#endif
