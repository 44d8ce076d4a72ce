#include "ConfigKeyAliasesMapper.h"

namespace ZVFUnified {

namespace {

struct KeyAlias {
    const wchar_t* oldName;
    const wchar_t* currentName;
};

// Renamed keys: the old name first, then the name it has now.
const KeyAlias kKeyAliases[] = {
    {L"Start_Client_On_Start_OS", L"LaunchOnSystemStartup"},
    {L"TftpServer1", L"TFTPPrimaryServer"},
    {L"TftpServer2", L"TFTPBackupServer1"},
    {L"TftpServer3", L"TFTPBackupServer2"},
    {L"CtiServer1", L"CTIPrimaryServer"},
    {L"CtiServer2", L"CTIBackupServer"},
    {L"RlvdevServer1", L"DeviceAuthenticationPrimaryServer"},
    {L"RlvdevServer2", L"DeviceAuthenticationBackupServer"},
    {L"VVM_Mailstore_Server_0", L"VoicemailPrimaryServer"},
    {L"VVM_Mailstore_Server_1", L"VoicemailBackup1Server"},
    {L"VVM_Mailstore_Server_2", L"VoicemailBackup2Server"},
    {L"VVM_Mailstore_PollingInterval", L"VoicmeailPollingInterval"},
    {L"DockedWindowVisible", L"DockedWindow"},
    {L"contactListView", L"ShowContactPictures"},
    {L"EnableSipProtocolHandler", L"EnableSIPProtocol"},
    {L"EnableTelProtocolHandler", L"EnableTelProtocol"},
    {L"EnableImProtocolHandler", L"EnableIMProtocol"},
    {L"PresenceServerType", L"DiscoveredPresenceServerType"},
};

}  // namespace

void ConfigKeyAliasesMapper::getConfigKeyAliases(ConfigMap& aliasToCurrent, ConfigMap& currentToAlias) {
    for (const KeyAlias& alias : kKeyAliases) {
        aliasToCurrent[alias.oldName] = alias.currentName;
    }
    for (const auto& entry : aliasToCurrent) {
        currentToAlias[entry.second] = entry.first;
    }
}

}  // namespace ZVFUnified
