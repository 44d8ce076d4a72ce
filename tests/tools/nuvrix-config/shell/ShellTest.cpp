#include <sstream>
#include <string>
#include <vector>

#include "NuvrixConfigTest.h"

namespace nuvrixtest {

using ShellTest = NuvrixConfigTest;

TEST_F(ShellTest, WatchPrintsEachChangeAsObserversAreTold) {
    const std::string server = writeFile("server.xml", serverDocument({{"Theme", "Dark"}}));
    const ProgramResult result =
        program->run({"shell"}, "watch Theme\n# a comment\n\nadd-store Srv 300 " + server + "\nset Theme Blue\n");
    EXPECT_EQ(0, result.status) << result.err;
    const std::string::size_type fromServer = result.out.find("watch Theme: Value -> Dark");
    const std::string::size_type fromUser = result.out.find("watch Theme: Value -> Blue");
    ASSERT_NE(std::string::npos, fromServer) << result.out;
    ASSERT_NE(std::string::npos, fromUser) << result.out;
    EXPECT_LT(fromServer, fromUser);
    EXPECT_NE(std::string::npos, result.out.find("watch Theme: isOverridden -> true"));
    EXPECT_EQ(std::string::npos, result.out.find("nuvrix>"));
}

TEST_F(ShellTest, StateLastsFromLineToLineAndJsonComesOneLinePerCommand) {
    const ProgramResult result = program->run(
        {"--json", "shell"}, "set-in-memory Meetings_Enabled false\nbogus\nget Meetings_Enabled\n");
    EXPECT_EQ(2, result.status);
    EXPECT_NE(std::string::npos, result.err.find("unknown command \"bogus\"")) << result.err;
    std::istringstream lines(result.out);
    std::vector<nlohmann::json> docs;
    for (std::string line; std::getline(lines, line);) {
        docs.push_back(nlohmann::json::parse(line));
    }
    ASSERT_EQ(2u, docs.size()) << result.out;
    EXPECT_EQ("InMemoryConfigStore", docs[1][0]["valueStore"]);
    EXPECT_EQ("false", docs[1][0]["value"]);
    // In memory only: the next process has the defaults.
    EXPECT_EQ("true", runJson({"get", "Meetings_Enabled"})[0]["value"]);
}

}  // namespace nuvrixtest
