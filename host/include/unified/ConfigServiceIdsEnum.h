#ifndef UNIFIED_CONFIGSERVICEIDSENUM_H
#define UNIFIED_CONFIGSERVICEIDSENUM_H

namespace ConfigServiceIdsEnum {
// Services that raise service events; passed through to the system service.
enum ConfigServiceIds {
    ConfigService = 1300,
    TelephonyService = 1400,
    VoicemailService = 1500,
    MeetingsService = 1600,
};
}  // namespace ConfigServiceIdsEnum

#endif
