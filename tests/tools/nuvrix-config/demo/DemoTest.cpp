#include <filesystem>
#include <string>

#include "NuvrixConfigTest.h"

namespace nuvrixtest {

using DemoTest = NuvrixConfigTest;

TEST_F(DemoTest, TourCompletesWithBundledResourcesAndLeavesNoFiles) {
    program->setEnvironment("NUVRIX_RESOURCES_DIR", "");  // the bundled resources
    program->setEnvironment("TMPDIR", temp->path());
    const ProgramResult result = program->run({"demo"});
    EXPECT_EQ(0, result.status) << result.err << result.out;
    EXPECT_NE(std::string::npos, result.out.find("demo finished: every check held"));
    EXPECT_EQ(std::string::npos, result.out.find("[UNEXPECTED]"));
    // Only the fixture's own folders remain: the demo's directory is gone
    // and the configuration directory of the environment was never used.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(temp->path())) {
        ++entries;
    }
    EXPECT_EQ(2u, entries);
}

}  // namespace nuvrixtest
