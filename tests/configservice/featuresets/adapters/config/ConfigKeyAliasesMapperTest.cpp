#include "ConfigKeyAliasesMapper.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using ZVFUnified::ConfigKeyAliasesMapper;
using ZVFUnified::ConfigMap;

namespace {

TEST(ConfigKeyAliasesMapperTest, EighteenRenamedKeysMapBothWays) {
    ConfigMap aliasToCurrent;
    ConfigMap currentToAlias;
    ConfigKeyAliasesMapper::getConfigKeyAliases(aliasToCurrent, currentToAlias);

    ASSERT_EQ(18u, aliasToCurrent.size());
    ASSERT_EQ(18u, currentToAlias.size());
    for (const auto& entry : aliasToCurrent) {
        EXPECT_EQ(entry.first, currentToAlias[entry.second]);
    }
    const std::vector<std::pair<std::wstring, std::wstring>> spotChecks = {
        {L"Start_Client_On_Start_OS", L"LaunchOnSystemStartup"},
        {L"TftpServer3", L"TFTPBackupServer2"},
        {L"VVM_Mailstore_PollingInterval", L"VoicmeailPollingInterval"},
        {L"contactListView", L"ShowContactPictures"},
        {L"EnableImProtocolHandler", L"EnableIMProtocol"},
        {L"PresenceServerType", L"DiscoveredPresenceServerType"},
    };
    for (const auto& check : spotChecks) {
        EXPECT_EQ(check.second, aliasToCurrent[check.first]);
    }
    // Lookups ignore case in both tables.
    EXPECT_EQ(1u, aliasToCurrent.count(L"CONTACTLISTVIEW"));
    EXPECT_EQ(1u, currentToAlias.count(L"enablesipprotocol"));
}

}  // namespace
