#include "MdmConfigStore.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "MdmConfigRetriever.h"
#include "StoreManagerTest.h"
#include "logging/LogCapture.h"

using ZVFUnified::ConfigMap;
using ZVFUnified::MdmConfigRetriever;
using ZVFUnified::MdmConfigStore;
using storemanagertest::valueOf;

namespace {

class FixedRetriever : public MdmConfigRetriever {
public:
    explicit FixedRetriever(ConfigMap settings) : settings(std::move(settings)) {}
    ConfigMap getMdmConfig() override {
        ++calls;
        return settings;
    }
    ConfigMap settings;
    int calls = 0;
};

void expectMdmIdentity(MdmConfigStore& store) {
    EXPECT_EQ("MdmConfigStore", store.getName());
    EXPECT_EQ(500, store.getPriority());
    EXPECT_TRUE(store.isReadOnly());
    EXPECT_TRUE(store.isLocal());
    EXPECT_FALSE(store.storeValue(L"ServicesDomain", L"x"));
    EXPECT_FALSE(store.removeValue(L"ServicesDomain"));
}

TEST(MdmConfigStoreTest, SettingsTextIsParsedAndValuesAreTrimmed) {
    MdmConfigStore store("<Nuvrix><CachedConfig><ServicesDomain sensitive=\"true\"> a.b </ServicesDomain>"
                         "</CachedConfig><Other><ServicesDomain>late</ServicesDomain><IP_MODE>v4</IP_MODE></Other>"
                         "</Nuvrix>");
    expectMdmIdentity(store);
    EXPECT_EQ((std::vector<std::wstring>{L"ip_mode", L"servicesdomain"}), store.getKeys());
    EXPECT_EQ(L"a.b", valueOf(store, L"SERVICESDOMAIN"));
    store.removeAllValues();
    EXPECT_EQ(2u, store.getKeys().size());
}

TEST(MdmConfigStoreTest, SettingsTextThatDoesNotParseGivesAnEmptyStore) {
    LogCapture log;
    MdmConfigStore store(std::string("<Nuvrix><CachedConfig>"));
    expectMdmIdentity(store);
    EXPECT_TRUE(store.getKeys().empty());
    EXPECT_TRUE(log.contains("Error Invalid XML syntax detected - Unable to read xml configuration.", 2));
    EXPECT_EQ(L"<missing:>", valueOf(store, L"ServicesDomain"));
}

TEST(MdmConfigStoreTest, RetrieverIsAskedOnceAndAnEmptyRetrieverGivesAnEmptyStore) {
    auto retriever = std::make_shared<FixedRetriever>(ConfigMap{{L"Telephony_Enabled", L" true "}});
    MdmConfigStore store(retriever);
    expectMdmIdentity(store);
    EXPECT_EQ(L"true", valueOf(store, L"telephony_enabled"));
    EXPECT_EQ(1, retriever->calls);

    MdmConfigStore empty(std::shared_ptr<MdmConfigRetriever>{});
    expectMdmIdentity(empty);
    EXPECT_TRUE(empty.getKeys().empty());
}

}  // namespace
