#include "NuvrixConfigTest.h"

#include <filesystem>

namespace nuvrixtest {

namespace {

// The installed defaults of the tests: a feature switch, a UI option and a
// key with an old name.
const char* const DEFAULTS = R"(<?xml version="1.0" encoding="UTF-8"?>
<Nuvrix>
 <userConfig name="Meetings_Enabled" value="true"/>
 <userConfig name="Theme" value="Light"/>
 <userConfig name="LaunchOnSystemStartup" value="false"/>
</Nuvrix>
)";

}  // namespace

void NuvrixConfigTest::SetUp() {
    temp = std::make_unique<TempDir>();
    configDir = temp->file("config");
    localAppDir = temp->file("local");
    resourcesDir = temp->file("resources");
    std::filesystem::create_directories(localAppDir);
    std::filesystem::create_directories(resourcesDir);
    writeFileBytes(resourcesDir + "/nuvrix-config-defaults.xml", DEFAULTS);
    program = std::make_unique<ProgramRunner>(configDir, localAppDir, resourcesDir);
}

std::string NuvrixConfigTest::writeFile(const std::string& name, const std::string& content) const {
    const std::string path = temp->file(name);
    writeFileBytes(path, content);
    return path;
}

std::string NuvrixConfigTest::serverDocument(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string text = "<config><Client>";
    for (const auto& [key, value] : entries) {
        text += "<" + key + ">" + value + "</" + key + ">";
    }
    return text + "</Client></config>";
}

nlohmann::json NuvrixConfigTest::runJson(const std::vector<std::string>& args, int expectedStatus) const {
    std::vector<std::string> withJson{"--json"};
    withJson.insert(withJson.end(), args.begin(), args.end());
    const ProgramResult result = program->run(withJson);
    EXPECT_EQ(expectedStatus, result.status) << result.err;
    return result.json();
}

std::map<std::string, std::string> NuvrixConfigTest::settleAndSnapshot() const {
    EXPECT_EQ(0, program->run({"stores"}).status);
    std::map<std::string, std::string> files = snapshotFiles(configDir);
    files.merge(snapshotFiles(localAppDir));
    return files;
}

void NuvrixConfigTest::expectFilesUnchanged(const std::map<std::string, std::string>& before) const {
    std::map<std::string, std::string> after = snapshotFiles(configDir);
    after.merge(snapshotFiles(localAppDir));
    ASSERT_EQ(before.size(), after.size());
    for (const auto& [path, bytes] : before) {
        ASSERT_EQ(1u, after.count(path)) << path;
        if (path == configDir + "/nuvrixLocalConfig.dat") {
            const std::string saved = writeFile("settings-before.dat", bytes);
            EXPECT_EQ(program->run({"decrypt", saved}).out, program->run({"decrypt", path}).out);
        } else {
            EXPECT_EQ(bytes, after.at(path)) << path;
        }
    }
}

}  // namespace nuvrixtest
