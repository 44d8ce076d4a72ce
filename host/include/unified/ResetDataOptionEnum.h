#ifndef UNIFIED_RESETDATAOPTIONENUM_H
#define UNIFIED_RESETDATAOPTIONENUM_H

namespace ResetDataOptionEnum {
// What the host asks the data providers to reset.
enum ResetDataOption {
    ResetAllData = 0,
    ResetUserData = 1,
    ResetCachedData = 2,
};
}  // namespace ResetDataOptionEnum

#endif
