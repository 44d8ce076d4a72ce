#include <filesystem>
#include <string>

#include "NuvrixConfigTest.h"

namespace nuvrixtest {

using DataCommandsTest = NuvrixConfigTest;

TEST_F(DataCommandsTest, DecryptPrintsFilesAnEarlierRunWrote) {
    ASSERT_EQ(0, program->run({"set", "Theme", "Blue"}).status);
    ASSERT_EQ(0, program->run({"provision", "https://x/?ServicesDomain=example.com"}).status);

    const ProgramResult settings = program->run({"decrypt", configDir + "/nuvrixLocalConfig.dat"});
    EXPECT_EQ(0, settings.status) << settings.err;
    EXPECT_NE(std::string::npos, settings.out.find("value=\"Blue\"")) << settings.out;
    // The provisioning cache is stored under a category of its own.
    const ProgramResult provisioned = program->run({"decrypt", configDir + "/Cache/cachedUrlProvisioningConfigStore.dat"});
    EXPECT_EQ(0, provisioned.status) << provisioned.err;
    EXPECT_NE(std::string::npos, provisioned.out.find("<ServicesDomain>example.com</ServicesDomain>"));
}

TEST_F(DataCommandsTest, DecryptRefusesForeignFilesAndMissingKeysWithoutWriting) {
    ASSERT_EQ(0, program->run({"set", "Theme", "Blue"}).status);
    const std::string plain = writeFile("plain.xml", "<Nuvrix/>");
    const ProgramResult foreign = program->run({"decrypt", plain});
    EXPECT_EQ(1, foreign.status);
    EXPECT_NE(std::string::npos, foreign.err.find("cannot decrypt " + plain)) << foreign.err;

    const std::string otherLocal = temp->file("other-local");
    std::filesystem::create_directories(otherLocal);
    program->setEnvironment("NUVRIX_LOCAL_APP_DIR", otherLocal);
    const ProgramResult keyless = program->run({"decrypt", configDir + "/nuvrixLocalConfig.dat"});
    EXPECT_EQ(1, keyless.status);
    EXPECT_NE(std::string::npos, keyless.err.find("no storage key in " + otherLocal)) << keyless.err;
    EXPECT_TRUE(std::filesystem::is_empty(otherLocal));
}

TEST_F(DataCommandsTest, ResetDataDeletesTheUserSettings) {
    ASSERT_EQ(0, program->run({"set", "Theme", "Blue"}).status);
    const nlohmann::json reset = runJson({"reset-data", "--yes"});
    EXPECT_EQ(nlohmann::json::array({configDir + "/nuvrixLocalConfig.dat"}), reset["removedFiles"]);
    EXPECT_EQ("Light", runJson({"get", "Theme"})[0]["value"]);
}

}  // namespace nuvrixtest
