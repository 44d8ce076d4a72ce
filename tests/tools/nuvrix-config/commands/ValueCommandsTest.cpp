#include <string>

#include "NuvrixConfigTest.h"
#include "PTKCoreUtils/StringUtils.h"

namespace nuvrixtest {

class ValueCommandsTest : public NuvrixConfigTest {
protected:
    // Caches a server store holding Theme=Dark (priority 300, so its cached
    // copy is consulted at 301) in a run of its own.
    void cacheServerTheme() {
        const std::string server = writeFile("server.xml", serverDocument({{"Theme", "Dark"}}));
        ASSERT_EQ(0, program->run({"add-store", "Srv", "300", server, "--cache"}).status);
    }
};

TEST_F(ValueCommandsTest, UserValueOverridesTheCachedServerValueAcrossRuns) {
    cacheServerTheme();
    ASSERT_EQ(0, program->run({"set", "Theme", "Blue"}).status);

    const nlohmann::json theme = runJson({"get", "Theme"})[0];
    EXPECT_EQ((nlohmann::json{{"requested", "Theme"},
                              {"key", "Theme"},
                              {"defined", true},
                              {"value", "Blue"},
                              {"valueStore", "LocalFileConfigStore"},
                              {"originalValue", "Dark"},
                              {"originalValueStore", "cachedSrv.dat"},
                              {"overridden", true},
                              {"local", true},
                              {"sensitive", false}}),
              theme);

    ASSERT_EQ(0, program->run({"unset", "Theme"}).status);
    const nlohmann::json unset = runJson({"get", "Theme"})[0];
    EXPECT_EQ("Dark", unset["value"]);
    EXPECT_EQ("cachedSrv.dat", unset["valueStore"]);
    EXPECT_EQ(false, unset["overridden"]);
}

TEST_F(ValueCommandsTest, ExplainListsEveryStoreAndMarksWinnerAndAdministrator) {
    cacheServerTheme();
    ASSERT_EQ(0, program->run({"set", "Theme", "Blue"}).status);

    const nlohmann::json explained = runJson({"explain", "Theme"});
    std::vector<std::string> order;
    std::map<std::string, nlohmann::json> rows;
    for (const auto& row : explained["stores"]) {
        order.push_back(row["store"]);
        rows[row["store"]] = row;
    }
    EXPECT_EQ((std::vector<std::string>{"LocalFileConfigStore", "cachedSrv.dat", "UrlProvisioningConfigStore",
                                        "InMemoryConfigStore", "nuvrix-config-defaults.xml"}),
              order);
    EXPECT_EQ("Blue", rows["LocalFileConfigStore"]["answer"]);
    EXPECT_EQ(true, rows["LocalFileConfigStore"]["effective"]);
    EXPECT_EQ("Dark", rows["cachedSrv.dat"]["answer"]);
    EXPECT_EQ(true, rows["cachedSrv.dat"]["administrator"]);
    EXPECT_EQ("Light", rows["nuvrix-config-defaults.xml"]["answer"]);
    EXPECT_EQ(false, rows["nuvrix-config-defaults.xml"]["effective"]);
    EXPECT_EQ(false, rows["nuvrix-config-defaults.xml"]["administrator"]);
    EXPECT_EQ((nlohmann::json{{"value", "Blue"}, {"store", "LocalFileConfigStore"}}), explained["effective"]);
}

TEST_F(ValueCommandsTest, OldKeyNamesResolveBothWays) {
    // The defaults hold the current name; a server still sends the old one.
    const std::string server = writeFile("server.xml", serverDocument({{"TftpServer1", "tftp.example.com"}}));
    ASSERT_EQ(0, program->run({"add-store", "Srv", "300", server, "--cache"}).status);

    const nlohmann::json launch = runJson({"get", "Start_Client_On_Start_OS"})[0];
    EXPECT_TRUE(PTKCoreUtils::caseInsensitiveStringEquals(launch["key"].get<std::string>(), "LaunchOnSystemStartup"));
    EXPECT_EQ("false", launch["value"]);

    const nlohmann::json explained = runJson({"explain", "TFTPPrimaryServer"});
    EXPECT_TRUE(PTKCoreUtils::caseInsensitiveStringEquals(explained["oldName"].get<std::string>(), "TftpServer1"));
    for (const auto& row : explained["stores"]) {
        EXPECT_EQ(row["store"] == "cachedSrv.dat" ? nlohmann::json("tftp.example.com") : nlohmann::json(nullptr),
                  row["oldNameAnswer"]);
    }
}

TEST_F(ValueCommandsTest, SecretsAreHiddenUnlessAskedFor) {
    const std::string server = writeFile("server.xml", serverDocument({{"ConnectionPassword", "pw-41"}}));
    ASSERT_EQ(0, program->run({"add-store", "Srv", "300", server, "--cache"}).status);

    EXPECT_EQ("VALUE_HIDDEN", runJson({"get", "ConnectionPassword"})[0]["value"]);
    EXPECT_EQ("pw-41", runJson({"get", "ConnectionPassword", "--show-secrets"})[0]["value"]);
    const ProgramResult explained = program->run({"explain", "ConnectionPassword"});
    EXPECT_EQ(std::string::npos, explained.out.find("pw-41"));
}

TEST_F(ValueCommandsTest, UnknownKeysAreRefusedAndChangeNothing) {
    ASSERT_EQ(0, program->run({"set", "Theme", "Blue"}).status);
    const auto before = settleAndSnapshot();
    for (const std::vector<std::string>& args : {std::vector<std::string>{"get", "Thme"},
                                                 {"explain", "Thme"},
                                                 {"set", "Thme", "Dark"},
                                                 {"unset", "Thme"}}) {
        const ProgramResult result = program->run(args);
        EXPECT_EQ(1, result.status) << args[0];
        EXPECT_NE(std::string::npos, result.err.find("\"Thme\"")) << result.err;
    }
    expectFilesUnchanged(before);
    EXPECT_EQ("Dark", runJson({"set", "Thme", "Dark", "--new"})["value"]);
}

}  // namespace nuvrixtest
