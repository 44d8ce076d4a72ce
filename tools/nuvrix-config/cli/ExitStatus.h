#ifndef NUVRIXCONFIG_EXITSTATUS_H
#define NUVRIXCONFIG_EXITSTATUS_H

namespace nuvrixconfig {
namespace ExitStatus {
// The program's exit statuses, also the result of each command.
enum Status {
    Ok = 0,
    Failed = 1,  // not found, refused, or an input that cannot be used
    Usage = 2,   // wrong command line, or no usable plug-in
};
}  // namespace ExitStatus
}  // namespace nuvrixconfig

#endif
