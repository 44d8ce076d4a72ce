#ifndef TESTS_TOOLS_NUVRIXCONFIG_PROGRAMRUNNER_H
#define TESTS_TOOLS_NUVRIXCONFIG_PROGRAMRUNNER_H

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "TempDir.h"

namespace nuvrixtest {

// What one run of the program left behind.
struct ProgramResult {
    int status = -1;
    std::string out;
    std::string err;
    // Standard output parsed as JSON (null when it is not JSON).
    nlohmann::json json() const;
};

// Runs nuvrix-config as a user would: its own process, with the
// configuration, local-data and resources directories the test chose in
// the environment, standard input from a string, both outputs captured.
class ProgramRunner {
public:
    ProgramRunner(std::string configDir, std::string localAppDir, std::string resourcesDir);

    ProgramResult run(const std::vector<std::string>& args, const std::string& input = "") const;

    // Extra environment for later runs ("" removes the variable).
    void setEnvironment(const std::string& name, const std::string& value) { overrides[name] = value; }

private:
    std::map<std::string, std::string> overrides;
    TempDir streams;  // the files of the standard streams
};

// The regular files under directory with their bytes, for before-and-after
// comparisons.
std::map<std::string, std::string> snapshotFiles(const std::string& directory);

}  // namespace nuvrixtest

#endif
