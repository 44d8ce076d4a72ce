// The problem-report document of the store manager: the stores' values as
// written by libxml2, then three host files read through the host's
// encrypted file storage from a private configuration directory.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "StoreManagerTest.h"
#include "logging/ZVFLogger.h"

namespace {

using namespace storemanagertest;
using nuvrixtest::writeEncrypted;

const std::wstring kEnvelopeStart = L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<AllConfigs>\n";
const std::wstring kEnvelopeEnd = L"\n</AllConfigs>";

class ConfigStoreManagerProblemReportTest : public StoreManagerTest {
protected:
    void add(const std::string& name, int priority, ZVFUnified::ConfigMap values) {
        addStore(name, priority, readOnlyStore(), std::move(values));
    }

    // The manager's "Failed to read config file" lines, with their levels.
    std::vector<std::pair<int, std::string>> readFailures(const LogCapture& capture) const {
        std::vector<std::pair<int, std::string>> out;
        for (const auto& entry : loggedBy(capture, "ConfigService-ConfigStoreManager")) {
            if (entry.second.rfind("Failed to read config file ", 0) == 0) {
                out.push_back(entry);
            }
        }
        return out;
    }

    std::string failure(const std::string& name) const {
        return "Failed to read config file " + ZVFLogger_replacePIIData(configDir + "/" + name);
    }
};

TEST_F(ConfigStoreManagerProblemReportTest, DocumentListsStoreValuesWithoutSecretsThenHostFiles) {
    add("LocalFileConfigStore", 20,
        {{L"DisplayName", L"Ann & Bob <x> \"q\""}, {L"connectionpassword", L"hunter2"}, {L"Greeting", L"Zo\u00eb"}});
    add("PresenceConfigStore", 100, {{L"BDIConnectionPassword", L"s3cret"}});
    add("TFTPConfigStore", 300, {{L"Telephony_Enabled", L"true"}, {L"EmptyValue", L""}});
    add("InMemoryConfigStore", 600, {});
    add("nuvrix-config-defaults.xml", 2147483647, {{L"DefaultOnly", L"1"}});
    manager->setKeySensitive(L"ConnectionPassword");
    manager->setKeySensitive(L"BDIConnectionPassword");
    ASSERT_TRUE(writeEncrypted(configDir + "/" + "home-uds-info.dat", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<uds>home</uds>"));
    ASSERT_TRUE(writeEncrypted(configDir + "/" + "service-location.dat", "<location>edge</location>"));
    ASSERT_TRUE(writeEncrypted(configDir + "/" + "SSOAuthInfoStore.dat", "<sso a=\"1\"/>"));

    std::wstring document = L"left over";
    manager->getAllConfigForPRT(document);

    EXPECT_EQ(kEnvelopeStart +
                  L"<AllMemoryConfigs>\n"
                  L" <store name=\"LocalFileConfigStore\" priority=\"20\">\n"
                  L"  <DisplayName>Ann &amp; Bob &lt;x&gt; &quot;q&quot;</DisplayName>\n"
                  L"  <Greeting>Zo\u00eb</Greeting>\n"
                  L" </store>\n"
                  L" <store name=\"PresenceConfigStore\" priority=\"100\"/>\n"
                  L" <store name=\"TFTPConfigStore\" priority=\"300\">\n"
                  L"  <EmptyValue></EmptyValue>\n"
                  L"  <Telephony_Enabled>true</Telephony_Enabled>\n"
                  L" </store>\n"
                  L"</AllMemoryConfigs>\n"
                  L"\n<uds>home</uds>"
                  L"<location>edge</location>"
                  L"<sso a=\"1\"/>" +
                  kEnvelopeEnd,
              document);
}

TEST_F(ConfigStoreManagerProblemReportTest, NothingToReportGivesTheEnvelopeAroundAnEmptyMemoryPart) {
    add("InMemoryConfigStore", 600, {});
    add("nuvrix-config-defaults.xml", 2147483647, {{L"DefaultOnly", L"1"}});
    LogCapture capture;

    std::wstring document;
    manager->getAllConfigForPRT(document);

    EXPECT_EQ(kEnvelopeStart + L"<AllMemoryConfigs/>\n" + kEnvelopeEnd, document);
    EXPECT_EQ((std::vector<std::pair<int, std::string>>{
                  {2, failure("home-uds-info.dat")},
                  {2, failure("service-location.dat")},
                  {2, failure("SSOAuthInfoStore.dat")},
              }),
              readFailures(capture));
}

TEST_F(ConfigStoreManagerProblemReportTest, UnreadableFilesAreLoggedAndSkipped) {
    // Plain text, and a file stored under another category, are not
    // readable as configuration files.
    nuvrixtest::writeFileBytes(configDir + "/home-uds-info.dat", "<?xml version=\"1.0\"?><uds>plain</uds>");
    ASSERT_TRUE(writeEncrypted(configDir + "/" + "service-location.dat", "<location>general</location>", FileCategoryType::General));
    ASSERT_TRUE(writeEncrypted(configDir + "/" + "SSOAuthInfoStore.dat", "<?xml version=\"1.0\"?>\n<sso/>?>tail"));
    LogCapture capture;

    std::wstring part;
    manager->getConfigForPRTFromFile(part);

    // Only the first "?>" ends the declaration.
    EXPECT_EQ(L"\n<sso/>?>tail", part);
    EXPECT_EQ((std::vector<std::pair<int, std::string>>{
                  {2, failure("home-uds-info.dat")},
                  {2, failure("service-location.dat")},
              }),
              readFailures(capture));
    for (const LogCapture::Record& record : capture.records()) {
        EXPECT_EQ(std::string::npos, record.message.find("<sso")) << record.message;
    }
}

}  // namespace
