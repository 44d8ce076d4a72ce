#ifndef UNIFIED_SERVICEEVENTSEVERITYENUM_H
#define UNIFIED_SERVICEEVENTSEVERITYENUM_H

namespace ServiceEventSeverityEnum {
enum ServiceEventSeverity {
    Info = 0,
    Warning = 1,
    Error = 2,
};
}  // namespace ServiceEventSeverityEnum

#endif
