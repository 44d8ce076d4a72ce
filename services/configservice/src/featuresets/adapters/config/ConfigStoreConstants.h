#ifndef CONFIG_CONFIGSTORECONSTANTS_H
#define CONFIG_CONFIGSTORECONSTANTS_H

#include <array>
#include <climits>
#include <string>

#include "zvf/storage/FileCategoryType.h"

// The catalogue shared by the whole library: store names and priorities,
// file names, the cache directory, the names of the configuration keys the
// library itself consults, and the keys whose values are secret. Store
// names, file names and paths are narrow; keys and values are wide. Names
// are compared ignoring case wherever the manager compares them, except by
// resetConfigData, which compares exactly.
namespace ZVFUnified {
namespace ConfigStoreConstants {

// ---- Files -----------------------------------------------------------------

inline const std::string LOCAL_CONFIG_FILE = "nuvrixLocalConfig.dat";  // the user's settings (encrypted)
inline const std::string LOCAL_CONFIG_BACKUP_FILE = "nuvrixLocalConfig_backup.dat";
inline const std::string DEFAULTS_FILE = "nuvrix-config-defaults.xml";  // also the defaults store's name
inline const std::string USER_XML_FILE = "nuvrix-config-user.xml";
// Kept for reference: no operation of the library reads the registry.
inline const std::string REGISTRY_POLICY_PATH = "Policies\\Orvel Systems, Inc.\\Unified Communications\\OrvelUC";
// Folder of the configuration directory that holds the cache files.
inline const std::string CACHE_DIRECTORY = "Cache";
// The cache file of store N is CACHED_FILE_PREFIX + N + CACHED_FILE_SUFFIX,
// N exactly as the store's getName() returns it.
inline const std::string CACHED_FILE_PREFIX = "cached";
inline const std::string CACHED_FILE_SUFFIX = ".dat";
inline const std::string CACHED_TFTP_CONFIG_STORE_FILE = "cachedTftpConfigStore.dat";
inline const std::string CACHED_MEVRA_ORG_OR_GRP_ADMIN_CONFIG_STORE_FILE = "cachedMevraOrgOrGrpAdminConfigStore.dat";

// ---- Store names -----------------------------------------------------------

inline const std::string TFTP_CONFIG_STORE = "TFTPConfigStore";
inline const std::string REGISTRY_CONFIG_STORE = "RegistryConfigStore";
inline const std::string BOOTSTRAP_CONFIG_STORE = "BootstrapConfigStore";
inline const std::string MDM_CONFIG_STORE = "MdmConfigStore";
inline const std::string LOCAL_FILE_CONFIG_STORE = "LocalFileConfigStore";
// Never named in the manager's store-list log lines.
inline const std::string DEV_OVERRIDE_CONFIG_STORE = "devOverrideConfigStore";
inline const std::string MEVRA_ORG_OR_GRP_ADMIN_CONFIG_STORE = "MevraOrgOrGrpAdminConfigStore";
inline const std::string CI_MIGRATION_CONFIG_STORE = "CIMigrationConfigStore";
// Receives in-memory writes only; ordinary writes pass it by.
inline const std::string IN_MEMORY_CONFIG_STORE = "InMemoryConfigStore";
// Its cache file goes with it although it does not ask to be cached.
inline const std::string URL_PROVISIONING_CONFIG_STORE = "UrlProvisioningConfigStore";
// The storage category of a settings or cache file: the URL-provisioning
// cache (any path holding URL_PROVISIONING_CONFIG_STORE, compared exactly) is
// stored under the general category, every other file under the
// configuration category.
inline FileCategoryType::FileCategory fileCategoryOf(const std::string& path) {
    return path.find(URL_PROVISIONING_CONFIG_STORE) != std::string::npos ? FileCategoryType::General
                                                                         : FileCategoryType::Configuration;
}
inline const std::string DEFAULTS_CONFIG_STORE = DEFAULTS_FILE;

// Store names and name fragments that the feature set compares with wide text.
inline const std::wstring ZENI_LYNC_REGISTRY_CONFIG_STORE = L"ZeniLyncRegistryConfigStore";
inline const std::wstring PRESENCE_CONFIG_STORE = L"PresenceConfigStore";
inline const std::wstring PYLON_CONFIG_STORE = L"PylonConfigStore";
inline const std::wstring CACHED_PRESENCE_CONFIG_STORE_FILE = L"cachedPresenceConfigStore.dat";
inline const std::wstring CACHED_PYLON_CONFIG_STORE_FILE = L"cachedPylonConfigStore.dat";
inline const std::wstring TFTP_STORE_PREFIX = L"Tftp";  // stores whose names begin with it
inline const std::wstring HMX_STORE_PREFIX = L"Hmx";

// ---- Priorities (lower is consulted first) ---------------------------------

constexpr int LOCAL_FILE_CONFIG_STORE_PRIORITY = 20;
constexpr int URL_PROVISIONING_CONFIG_STORE_PRIORITY = 499;
constexpr int MDM_CONFIG_STORE_PRIORITY = 500;
constexpr int IN_MEMORY_CONFIG_STORE_PRIORITY = 600;
constexpr int DEFAULTS_CONFIG_STORE_PRIORITY = INT_MAX;

// ---- Special values --------------------------------------------------------

// Printed instead of the value of a sensitive key.
inline const std::wstring VALUE_HIDDEN = L"VALUE_HIDDEN";
// Key under which the feature set records the priorities of cached stores.
inline const std::wstring PRIMARY_CONFIG_STORES = L"PrimaryConfigStores";
// Set to "False" in the user store once URL provisioning data has been applied.
inline const std::wstring ALLOW_URL_PROVISIONING = L"AllowUrlProvisioning";
inline const std::wstring ALLOW_URL_PROVISIONING_APPLIED_VALUE = L"False";

// ---- Configuration key names -----------------------------------------------

// One constant per key; the constant carries the key's own name.
namespace Keys {
inline const std::wstring TFTPPrimaryServer = L"TFTPPrimaryServer";
inline const std::wstring TFTPBackupServer1 = L"TFTPBackupServer1";
inline const std::wstring TFTPBackupServer2 = L"TFTPBackupServer2";
inline const std::wstring configurationfile = L"configurationfile";
inline const std::wstring VVM_Mailstore_Server_0 = L"VVM_Mailstore_Server_0";
inline const std::wstring VoicemailPrimaryServer = L"VoicemailPrimaryServer";
inline const std::wstring RlvdevServer1 = L"RlvdevServer1";
inline const std::wstring RlvdevServer2 = L"RlvdevServer2";
inline const std::wstring RlvdevServer3 = L"RlvdevServer3";
inline const std::wstring CtiServer1 = L"CtiServer1";
inline const std::wstring Customize_Voicemail_Server = L"Customize_Voicemail_Server";
inline const std::wstring Customize_Phone_Server = L"Customize_Phone_Server";
inline const std::wstring connectionpassword = L"connectionpassword";
inline const std::wstring connectionusername = L"connectionusername";
inline const std::wstring ConnectionUserDn = L"ConnectionUserDn";
inline const std::wstring BDIConnectionPassword = L"BDIConnectionPassword";
inline const std::wstring BDIConnectionUsername = L"BDIConnectionUsername";
inline const std::wstring BDIConnectionUserDn = L"BDIConnectionUserDn";
inline const std::wstring Addtional_Info = L"Addtional_Info";
inline const std::wstring Initial_Info = L"Initial_Info";
inline const std::wstring CertificateValidationEnabled = L"CertificateValidationEnabled";
inline const std::wstring Telephony_P2P_Enabled = L"Telephony_P2P_Enabled";
inline const std::wstring ProductMode = L"ProductMode";
inline const std::wstring Phone_Mode = L"Phone_Mode";
inline const std::wstring EdgeOnlyMode = L"EdgeOnlyMode";
inline const std::wstring CC_Mode = L"CC_Mode";
inline const std::wstring TelephonyOnlyDiscovery = L"TelephonyOnlyDiscovery";
inline const std::wstring VoiceServicesDomain = L"VoiceServicesDomain";
inline const std::wstring UCDeviceProvisioned = L"UCDeviceProvisioned";
inline const std::wstring RemoteAccess = L"RemoteAccess";
inline const std::wstring SystemProxyUsage = L"SystemProxyUsage";
inline const std::wstring InvalidCertificateBehavior = L"InvalidCertificateBehavior";
inline const std::wstring IP_MODE = L"IP_MODE";
inline const std::wstring VexilKPS_Fast_Login = L"VexilKPS_Fast_Login";
inline const std::wstring VexilKPS_Control_Mode = L"VexilKPS_Control_Mode";
inline const std::wstring DisableVexilKPS = L"DisableVexilKPS";
inline const std::wstring LegacyOAuthLogout = L"LegacyOAuthLogout";
inline const std::wstring InvalidCredentialsLogout = L"InvalidCredentialsLogout";
inline const std::wstring ServicesDomain = L"ServicesDomain";
inline const std::wstring ServiceDiscoveryExcludedServices = L"ServiceDiscoveryExcludedServices";
inline const std::wstring ServicesDomainSsoEmailPrompt = L"ServicesDomainSsoEmailPrompt";
inline const std::wstring Telephony_Enabled = L"Telephony_Enabled";
inline const std::wstring TelemetryEnabled = L"TelemetryEnabled";
inline const std::wstring sso_enabled = L"sso_enabled";
inline const std::wstring EdgeSsoPrecedence = L"EdgeSsoPrecedence";
inline const std::wstring Meetings_Enabled = L"Meetings_Enabled";
inline const std::wstring alphap2penabled = L"alphap2penabled";
inline const std::wstring EnablePRTEncryption = L"EnablePRTEncryption";
inline const std::wstring PRTCertificateName = L"PRTCertificateName";
inline const std::wstring DiagnosticsToolEnabled = L"DiagnosticsToolEnabled";
inline const std::wstring ContactsDiagnosticsToolEnabled = L"ContactsDiagnosticsToolEnabled";
inline const std::wstring STARTUP_AUTHENTICATION_REQUIRED = L"STARTUP_AUTHENTICATION_REQUIRED";
inline const std::wstring ConfigRefetchInterval = L"ConfigRefetchInterval";
inline const std::wstring EnableUserIdURLEscape = L"EnableUserIdURLEscape";
inline const std::wstring AllowTeamsUseEmbeddedSafari = L"AllowTeamsUseEmbeddedSafari";
inline const std::wstring Nuvrix_SDK_Mode = L"Nuvrix_SDK_Mode";
inline const std::wstring Mvr_MeetingList_OfflineData = L"Mvr_MeetingList_OfflineData";
inline const std::wstring Mvr_MeetingList_OnlineData = L"Mvr_MeetingList_OnlineData";
inline const std::wstring BlockVersionBelow = L"BlockVersionBelow";
inline const std::wstring Teams_SSO_Support = L"Teams_SSO_Support";
inline const std::wstring EnableCallPickup = L"EnableCallPickup";
inline const std::wstring EnableGroupCallPickup = L"EnableGroupCallPickup";
inline const std::wstring EnableHuntGroup = L"EnableHuntGroup";
inline const std::wstring EnableOtherGroupPickup = L"EnableOtherGroupPickup";
inline const std::wstring PreventDeclineOnHuntCall = L"PreventDeclineOnHuntCall";
inline const std::wstring RemoteDestinationEditingWithMultipleDevices = L"RemoteDestinationEditingWithMultipleDevices";
inline const std::wstring UserDefinedRemoteDestinations = L"UserDefinedRemoteDestinations";
inline const std::wstring SelfCareURL = L"SelfCareURL";
inline const std::wstring ShowSelfCarePortal = L"ShowSelfCarePortal";
}  // namespace Keys

// ---- Key lists -------------------------------------------------------------

// The only keys a provisioning URL may set, matched ignoring case.
inline const std::array<std::wstring, 23> URL_PROVISIONING_KEYS = {
    L"ServicesDomain",
    L"VoiceServicesDomain",
    L"ServiceDiscoveryExcludedServices",
    L"ServicesDomainSsoEmailPrompt",
    L"Telephony_Enabled",
    L"TelemetryEnabled",
    L"sso_enabled",
    L"EdgeSsoPrecedence",
    L"Meetings_Enabled",
    L"Telephony_P2P_Enabled",
    L"alphap2penabled",
    L"InvalidCertificateBehavior",
    L"EnablePRTEncryption",
    L"PRTCertificateName",
    L"IP_MODE",
    L"SystemProxyUsage",
    L"DiagnosticsToolEnabled",
    L"ContactsDiagnosticsToolEnabled",
    L"STARTUP_AUTHENTICATION_REQUIRED",
    L"ConfigRefetchInterval",
    L"EnableUserIdURLEscape",
    L"EdgeOnlyMode",
    L"AllowTeamsUseEmbeddedSafari",
};

// Keys whose values the feature set marks sensitive at start, so that they
// never reach a log line or a dump.
inline const std::array<std::wstring, 9> SENSITIVE_KEYS = {
    L"connectionpassword",
    L"connectionusername",
    L"BDIConnectionPassword",
    L"BDIConnectionUsername",
    L"BDIConnectionUserDn",
    L"Addtional_Info",
    L"Initial_Info",
    L"Mvr_MeetingList_OfflineData",
    L"Mvr_MeetingList_OnlineData",
};

// The two well-known secret keys, in this order, that the XML parser and the
// sensitive-key securing utility treat as secrets.
inline const std::wstring EDI_PSW_KEY = L"ConnectionPassword";
inline const std::wstring BDI_PSW_KEY = L"BDIConnectionPassword";

}  // namespace ConfigStoreConstants
}  // namespace ZVFUnified

#endif
