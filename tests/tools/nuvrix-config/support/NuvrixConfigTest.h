#ifndef TESTS_TOOLS_NUVRIXCONFIG_NUVRIXCONFIGTEST_H
#define TESTS_TOOLS_NUVRIXCONFIG_NUVRIXCONFIGTEST_H

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ProgramRunner.h"
#include "TempDir.h"

namespace nuvrixtest {

// Fixture for the program's tests: a temporary folder with the client's
// configuration, local-data and resources directories, the resources holding
// a small defaults file the test knows, and a runner over them.
class NuvrixConfigTest : public ::testing::Test {
protected:
    void SetUp() override;

    // Writes name in the temporary folder; returns its path.
    std::string writeFile(const std::string& name, const std::string& content) const;
    // A server document of one group holding the given key/value pairs.
    static std::string serverDocument(const std::vector<std::pair<std::string, std::string>>& entries);
    // Runs the program with --json and returns the parsed document.
    nlohmann::json runJson(const std::vector<std::string>& args, int expectedStatus = 0) const;
    // The files of the configuration and local-data directories, taken
    // after one run that only reads: the client rewrites its settings file
    // whenever its feature set stops (re-encrypted, keys in the letter case
    // the store read them in), so the form to compare with is the one a stop
    // leaves.
    std::map<std::string, std::string> settleAndSnapshot() const;
    // Expects the files as settleAndSnapshot saw them; the settings file by
    // its plain text, since every stop encrypts it afresh.
    void expectFilesUnchanged(const std::map<std::string, std::string>& before) const;

    std::unique_ptr<TempDir> temp;
    std::string configDir;
    std::string localAppDir;
    std::string resourcesDir;
    std::unique_ptr<ProgramRunner> program;
};

}  // namespace nuvrixtest

#endif
