#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "NuvrixConfigTest.h"

namespace nuvrixtest {

using CommandLineTest = NuvrixConfigTest;

TEST_F(CommandLineTest, UsageErrorsNameTheProblemOnOneLineAndExitTwo) {
    const struct {
        std::vector<std::string> args;
        std::string named;
    } cases[] = {
        {{"frobnicate"}, "unknown command \"frobnicate\""},
        {{}, "subcommand is required"},
        {{"get"}, "KEY is required"},
        {{"add-store", "Server", "high", "server.xml"}, "PRIORITY = high"},
        {{"--log-level", "9", "stores"}, "--log-level"},
        {{"set-in-memory", "Theme", "Dark"}, "inside \"nuvrix-config shell\""},
        {{"reset-data"}, "add --yes"},
    };
    for (const auto& c : cases) {
        const ProgramResult result = program->run(c.args);
        EXPECT_EQ(2, result.status) << c.named;
        EXPECT_NE(std::string::npos, result.err.find(c.named)) << result.err;
        EXPECT_EQ(1, std::count(result.err.begin(), result.err.end(), '\n')) << result.err;
        EXPECT_EQ("", result.out);
    }
    EXPECT_FALSE(std::filesystem::exists(configDir));
}

TEST_F(CommandLineTest, MissingOrCorruptPluginIsAUsageErrorNamingThePath) {
    const std::string missing = temp->file("no-such-plugin.so");
    const std::string corrupt = writeFile("corrupt.so", "this is not a shared library");
    for (const std::string& path : {missing, corrupt}) {
        const ProgramResult result = program->run({"--plugin", path, "get", "Theme"});
        EXPECT_EQ(2, result.status);
        EXPECT_EQ(0u, result.err.find("nuvrix-config: cannot load plug-in " + path + ": ")) << result.err;
        EXPECT_EQ(1, std::count(result.err.begin(), result.err.end(), '\n')) << result.err;
    }
}

TEST_F(CommandLineTest, GlobalOptionsMayFollowTheCommand) {
    const std::string otherConfig = temp->file("other-config");
    const nlohmann::json set = runJson({"set", "Theme", "Dark", "--config-dir", otherConfig});
    EXPECT_EQ("Dark", set["value"]);
    EXPECT_TRUE(std::filesystem::exists(otherConfig + "/nuvrixLocalConfig.dat"));
    EXPECT_FALSE(std::filesystem::exists(configDir));
}

}  // namespace nuvrixtest
