#include <sys/stat.h>

#include <string>

#include "NuvrixConfigTest.h"

namespace nuvrixtest {

using ReportCommandsTest = NuvrixConfigTest;

TEST_F(ReportCommandsTest, DumpPrintsTheServiceDumpOnceOnStandardOutput) {
    ASSERT_EQ(0, program->run({"set", "Theme", "Blue"}).status);
    const ProgramResult dump = program->run({"dump"});
    EXPECT_EQ(0, dump.status);
    EXPECT_NE(std::string::npos, dump.out.find("Master Configuration Settings"));
    EXPECT_NE(std::string::npos,
              dump.out.find("Value - [Blue] valueStoreName [LocalFileConfigStore] | OriginalValue [Light] "
                            "originalValueStoreName [nuvrix-config-defaults.xml]"))
        << dump.out;
    EXPECT_EQ("", dump.err);
}

TEST_F(ReportCommandsTest, ProblemReportLeavesSecretsOutAndIsPrivate) {
    const std::string server =
        writeFile("server.xml", serverDocument({{"ConnectionPassword", "pw-41"}, {"Region", "EU"}}));
    ASSERT_EQ(0, program->run({"add-store", "Srv", "300", server, "--cache"}).status);
    const std::string path = temp->file("report.xml");
    const nlohmann::json written = runJson({"report", "--output", path});
    const std::string report = readFileBytes(path);
    EXPECT_EQ(report.size(), written["bytes"]);
    EXPECT_NE(std::string::npos, report.find("<region>EU</region>")) << report;
    EXPECT_EQ(std::string::npos, report.find("pw-41"));
    struct stat info;
    ASSERT_EQ(0, ::stat(path.c_str(), &info));
    EXPECT_EQ(0600u, info.st_mode & 0777);
}

}  // namespace nuvrixtest
