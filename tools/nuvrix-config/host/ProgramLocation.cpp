#include "host/ProgramLocation.h"

#include <filesystem>
#include <system_error>

#include "ConfigStoreConstants.h"

namespace nuvrixconfig {

namespace {

// The first candidate, relative to the program's directory, that exists
// (with leaf inside it, when leaf is given); "" when none does.
std::string firstExisting(std::initializer_list<const char*> relativePaths, const std::string& leaf) {
    const std::string directory = ProgramLocation::programDirectory();
    if (directory.empty()) {
        return std::string();
    }
    for (const char* relative : relativePaths) {
        std::error_code error;
        const std::filesystem::path candidate = std::filesystem::path(directory) / relative;
        if (std::filesystem::exists(leaf.empty() ? candidate : candidate / leaf, error)) {
            return std::filesystem::weakly_canonical(candidate, error).string();
        }
    }
    return std::string();
}

}  // namespace

std::string ProgramLocation::programDirectory() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : program.parent_path().string();
}

std::string ProgramLocation::defaultPluginPath() {
    return firstExisting({NUVRIX_CONFIG_INSTALLED_PLUGIN, NUVRIX_CONFIG_BUILT_PLUGIN}, "");
}

std::string ProgramLocation::bundledResourcesDirectory() {
    return firstExisting({NUVRIX_CONFIG_INSTALLED_RESOURCES, NUVRIX_CONFIG_BUILT_RESOURCES},
                         ZVFUnified::ConfigStoreConstants::DEFAULTS_FILE);
}

}  // namespace nuvrixconfig
