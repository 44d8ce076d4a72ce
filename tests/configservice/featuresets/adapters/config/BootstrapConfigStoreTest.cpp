#include "BootstrapConfigStore.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "StoreManagerTest.h"
#include "TempDir.h"
#include "logging/LogCapture.h"
#include "zvf/common/FipsUtils.h"

using storemanagertest::contentOf;
using storemanagertest::valueOf;
using ZVFUnified::BootstrapConfigStore;

namespace {

class BootstrapConfigStoreTest : public ::testing::Test {
protected:
    BootstrapConfigStore storeOver(const std::string& text) {
        nuvrixtest::writeFileBytes(path, text);
        return BootstrapConfigStore("BootstrapConfigStore", path, 50);
    }

    nuvrixtest::TempDir temp;
    std::string path = temp.file("bootstrap.txt");
};

// In FIPS mode the peer-to-peer key reads false.
TEST_F(BootstrapConfigStoreTest, ReadsKeyValueLinesSkippingCommentsAndBlankLines) {
    BootstrapConfigStore store = storeOver(
        "# first comment\n"
        "   # indented comment: not a key\n"
        "ServicesDomain: a.b\n"
        "\n"
        "Url : x:y:z \n"
        "NoColon\n"
        "Windows: crlf\r\n"
        "   \n"
        "Dup: 1\n"
        "DUP: 2\n"
        "Telephony_P2P_Enabled: true\n"
        "  Spaced Key  :   v  ");
    EXPECT_EQ((std::vector<std::wstring>{L"Dup", L"NoColon", L"ServicesDomain", L"Spaced Key", L"Telephony_P2P_Enabled",
                                         L"Url", L"Windows"}),
              store.getKeys());
    EXPECT_EQ(L"a.b", valueOf(store, L"servicesdomain"));
    EXPECT_EQ(L"x:y:z", valueOf(store, L"URL"));
    EXPECT_EQ(L"", valueOf(store, L"nocolon"));
    EXPECT_EQ(L"crlf", valueOf(store, L"Windows"));
    EXPECT_EQ(L"2", valueOf(store, L"dup"));
    EXPECT_EQ(L"v", valueOf(store, L"spaced key"));
    EXPECT_EQ(L"<missing:>", valueOf(store, L"# first comment"));
    zvf::common::FipsUtils::setFipsOverrideForTesting(1);
    const std::wstring p2p = valueOf(store, L"telephony_p2p_enabled");
    zvf::common::FipsUtils::setFipsOverrideForTesting(-1);
    EXPECT_EQ(L"false", p2p);
}

TEST_F(BootstrapConfigStoreTest, MissingFileLeavesTheStoreEmptyAndIsLogged) {
    LogCapture log;
    BootstrapConfigStore store("BootstrapConfigStore", temp.file("absent.txt"), 50);
    EXPECT_TRUE(store.getKeys().empty());
    EXPECT_TRUE(log.contains("File does not exist " + temp.file("absent.txt"), 3));
    EXPECT_EQ(L"<missing:>", valueOf(store, L"ServicesDomain"));
}

TEST_F(BootstrapConfigStoreTest, WritesAndRemovalsAreRefusedAndChangeNothing) {
    BootstrapConfigStore store = storeOver("Key: v\n");
    EXPECT_TRUE(store.isReadOnly());
    EXPECT_FALSE(store.storeValue(L"Key", L"new"));
    EXPECT_FALSE(store.storeValue(L"Added", L"x"));
    EXPECT_FALSE(store.removeValue(L"Key"));
    store.removeAllValues();
    EXPECT_EQ(L"Key=v", contentOf(store));
}

}  // namespace
