#include "MdmConfigStore.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "MdmConfigRetriever.h"
#include "logging/LogCapture.h"

using ZVFUnified::ConfigMap;
using ZVFUnified::MdmConfigRetriever;
using ZVFUnified::MdmConfigStore;

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
    std::wstring value;
    EXPECT_TRUE(store.getValue(L"SERVICESDOMAIN", value));
    EXPECT_EQ(L"a.b", value);
    store.removeAllValues();
    EXPECT_EQ(2u, store.getKeys().size());
}

TEST(MdmConfigStoreTest, SettingsTextThatDoesNotParseGivesAnEmptyStore) {
    LogCapture log;
    MdmConfigStore store(std::string("<Nuvrix><CachedConfig>"));
    expectMdmIdentity(store);
    EXPECT_TRUE(store.getKeys().empty());
    EXPECT_TRUE(log.contains("Error Invalid XML syntax detected - Unable to read xml configuration.", 2));
    std::wstring value = L"unset";
    EXPECT_FALSE(store.getValue(L"ServicesDomain", value));
    EXPECT_EQ(L"", value);
}

TEST(MdmConfigStoreTest, RetrieverIsAskedOnceAndAnEmptyRetrieverGivesAnEmptyStore) {
    auto retriever = std::make_shared<FixedRetriever>(ConfigMap{{L"Telephony_Enabled", L" true "}});
    MdmConfigStore store(retriever);
    expectMdmIdentity(store);
    std::wstring value;
    EXPECT_TRUE(store.getValue(L"telephony_enabled", value));
    EXPECT_EQ(L"true", value);
    EXPECT_EQ(1, retriever->calls);

    MdmConfigStore empty(std::shared_ptr<MdmConfigRetriever>{});
    expectMdmIdentity(empty);
    EXPECT_TRUE(empty.getKeys().empty());
}

}  // namespace
