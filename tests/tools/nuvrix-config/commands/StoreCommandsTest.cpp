#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "NuvrixConfigTest.h"

namespace nuvrixtest {

class StoreCommandsTest : public NuvrixConfigTest {
protected:
    std::string cacheFile() const { return configDir + "/Cache/cachedSrv.dat"; }
};

TEST_F(StoreCommandsTest, CachedStoreIsRestoredByTheNextRunUntilRemoved) {
    const std::string server = writeFile("server.xml", serverDocument({{"Theme", "Dark"}, {"Region", "EU"}}));
    const nlohmann::json added = runJson({"add-store", "Srv", "300", server, "--cache"});
    EXPECT_EQ(cacheFile(), added["cacheFile"]);
    EXPECT_EQ(2u, added["decides"].size());

    nlohmann::json copy;
    for (const auto& store : runJson({"stores"})) {
        if (store["name"] == "cachedSrv.dat") {
            copy = store;
        }
    }
    EXPECT_EQ((nlohmann::json{{"name", "cachedSrv.dat"},
                              {"priority", 301},
                              {"readOnly", true},
                              {"local", true},
                              {"keys", 2},
                              {"cacheFile", cacheFile()}}),
              copy);

    const nlohmann::json removed = runJson({"remove-store", "Srv"});
    EXPECT_EQ(nlohmann::json::array({cacheFile()}), removed["removedFiles"]);
    EXPECT_FALSE(std::filesystem::exists(cacheFile()));
    EXPECT_EQ("nuvrix-config-defaults.xml", runJson({"get", "Theme"})[0]["valueStore"]);
    EXPECT_EQ(1, program->run({"remove-store", "Srv"}).status);
}

TEST_F(StoreCommandsTest, BadInputFilesAreRefusedOnOneLineAndChangeNothing) {
    const std::string server = writeFile("server.xml", serverDocument({{"Theme", "Dark"}}));
    ASSERT_EQ(0, program->run({"add-store", "Srv", "300", server, "--cache"}).status);
    const std::string malformed = writeFile("malformed.xml", "<config><Client><Theme>Dark</Client>");
    const std::string empty = writeFile("empty.xml", "<Nuvrix><userConfig name=\"Theme\" value=\"Dark\"/></Nuvrix>");
    const std::string noColon = writeFile("bootstrap.txt", "# installer\nServicesDomain example.com\n");
    const std::string directory = temp->path();
    const std::string missing = temp->file("missing.xml");
    const auto before = settleAndSnapshot();
    const struct {
        std::vector<std::string> args;
        std::string named;
    } cases[] = {
        {{"add-store", "Other", "200", malformed}, "malformed XML in " + malformed + " line 1"},
        {{"add-store", "Other", "200", empty}, empty + " holds no configuration entries"},
        {{"add-store", "Other", "200", missing}, "cannot read " + missing + ": No such file"},
        {{"add-store", "Other", "200", directory}, "cannot read " + directory + ": not a regular file"},
        {{"add-store", "LocalFileConfigStore", "200", server}, "belongs to the client"},
        {{"add-store", "../escape", "200", server}, "not usable"},
        {{"mdm", malformed}, "malformed XML in " + malformed},
        {{"bootstrap", noColon, "50"}, noColon + " line 2: expected \"key: value\""},
        {{"remove-store", "Nowhere"}, "no store named \"Nowhere\""},
        {{"remove-store", "LocalFileConfigStore"}, "cannot be removed"},
    };
    for (const auto& c : cases) {
        const ProgramResult result = program->run(c.args);
        EXPECT_EQ(1, result.status) << c.named;
        EXPECT_NE(std::string::npos, result.err.find(c.named)) << result.err;
        EXPECT_EQ(1, std::count(result.err.begin(), result.err.end(), '\n')) << result.err;
    }
    expectFilesUnchanged(before);
}

TEST_F(StoreCommandsTest, BootstrapAndDeviceManagementDecideTheirKeys) {
    const std::string bootstrap = writeFile("bootstrap.txt", "# installer\nUpdateURL: https://u.example.com:8443/x\n");
    const nlohmann::json booted = runJson({"bootstrap", bootstrap, "50"});
    EXPECT_EQ((nlohmann::json::array({{{"key", "UpdateURL"}, {"value", "https://u.example.com:8443/x"}}})),
              booted["decides"]);

    const std::string mdm = writeFile("mdm.xml", serverDocument({{"Meetings_Enabled", "false"}}));
    const nlohmann::json managed = runJson({"mdm", mdm})["decides"];
    ASSERT_EQ(1u, managed.size());
    // The client's parser keeps device-management keys in lower case.
    EXPECT_EQ("meetings_enabled", managed[0]["key"]);
    EXPECT_EQ("false", managed[0]["value"]);
    // Device management is held in memory by the client: the next run has
    // only the defaults.
    EXPECT_EQ("true", runJson({"get", "Meetings_Enabled"})[0]["value"]);
}

TEST_F(StoreCommandsTest, ProvisioningAppliesOnceAndIsCached) {
    const nlohmann::json applied = runJson({"provision", "https://x/?ServicesDomain=example.com&Bogus=1"});
    EXPECT_EQ((nlohmann::json::array({{{"key", "ServicesDomain"}, {"value", "example.com"}}})), applied["decides"]);
    const nlohmann::json domain = runJson({"get", "ServicesDomain"})[0];
    EXPECT_EQ("UrlProvisioningConfigStore", domain["valueStore"]);

    const ProgramResult again = program->run({"provision", "https://x/?ServicesDomain=other.com"});
    EXPECT_EQ(1, again.status);
    EXPECT_NE(std::string::npos, again.err.find("AllowUrlProvisioning is false")) << again.err;
}

TEST_F(StoreCommandsTest, UnwritableConfigurationDirectoryIsRefused) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes through any permission bits, so a read-only directory cannot be made";
    }
    std::filesystem::create_directories(configDir);
    ASSERT_EQ(0, ::chmod(configDir.c_str(), 0500));
    const std::string server = writeFile("server.xml", serverDocument({{"Theme", "Dark"}}));
    const auto before = settleAndSnapshot();
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"set", "Theme", "Blue"}, {"add-store", "Srv", "300", server, "--cache"}}) {
        const ProgramResult result = program->run(args);
        EXPECT_EQ(1, result.status);
        EXPECT_NE(std::string::npos, result.err.find(configDir + " is not writable")) << result.err;
    }
    ::chmod(configDir.c_str(), 0700);
    expectFilesUnchanged(before);
}

}  // namespace nuvrixtest
