#include "BootstrapConfigStore.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "logging/LogCapture.h"
#include "zvf/common/FipsUtils.h"

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
        "  Spaced Key  :   v  ");
    EXPECT_EQ((std::vector<std::wstring>{L"Dup", L"NoColon", L"ServicesDomain", L"Spaced Key", L"Url", L"Windows"}),
              store.getKeys());
    std::wstring value = L"unset";
    EXPECT_TRUE(store.getValue(L"servicesdomain", value));
    EXPECT_EQ(L"a.b", value);
    EXPECT_TRUE(store.getValue(L"URL", value));
    EXPECT_EQ(L"x:y:z", value);
    EXPECT_TRUE(store.getValue(L"nocolon", value));
    EXPECT_EQ(L"", value);
    EXPECT_TRUE(store.getValue(L"Windows", value));
    EXPECT_EQ(L"crlf", value);
    EXPECT_TRUE(store.getValue(L"dup", value));
    EXPECT_EQ(L"2", value);
    EXPECT_TRUE(store.getValue(L"spaced key", value));
    EXPECT_EQ(L"v", value);
    EXPECT_FALSE(store.getValue(L"# first comment", value));
    EXPECT_EQ(L"", value);
}

TEST_F(BootstrapConfigStoreTest, MissingFileLeavesTheStoreEmptyAndIsLogged) {
    LogCapture log;
    BootstrapConfigStore store("BootstrapConfigStore", temp.file("absent.txt"), 50);
    EXPECT_TRUE(store.getKeys().empty());
    EXPECT_TRUE(log.contains("File does not exist " + temp.file("absent.txt"), 3));
    std::wstring value = L"unset";
    EXPECT_FALSE(store.getValue(L"ServicesDomain", value));
    EXPECT_EQ(L"", value);
}

TEST_F(BootstrapConfigStoreTest, WritesAndRemovalsAreRefusedAndChangeNothing) {
    BootstrapConfigStore store = storeOver("Key: v\n");
    EXPECT_TRUE(store.isReadOnly());
    EXPECT_FALSE(store.storeValue(L"Key", L"new"));
    EXPECT_FALSE(store.storeValue(L"Added", L"x"));
    EXPECT_FALSE(store.removeValue(L"Key"));
    store.removeAllValues();
    EXPECT_EQ((std::vector<std::wstring>{L"Key"}), store.getKeys());
    std::wstring value;
    EXPECT_TRUE(store.getValue(L"key", value));
    EXPECT_EQ(L"v", value);
}

TEST_F(BootstrapConfigStoreTest, PeerToPeerCallsReadFalseInFipsMode) {
    BootstrapConfigStore store = storeOver("Telephony_P2P_Enabled: true\n");
    zvf::common::FipsUtils::setFipsOverrideForTesting(1);
    std::wstring value;
    const bool found = store.getValue(L"telephony_p2p_enabled", value);
    zvf::common::FipsUtils::setFipsOverrideForTesting(-1);
    EXPECT_TRUE(found);
    EXPECT_EQ(L"false", value);
}

}  // namespace
