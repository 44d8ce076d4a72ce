#include "stores/ConfigFiles.h"

#include <algorithm>
#include <iterator>

#include "CacheConfigStore.h"
#include "PTKCoreUtils/FileUtils.h"

namespace nuvrixconfig {

std::vector<std::string> ConfigFiles::list() {
    std::vector<std::string> paths;
    for (const std::string& directory :
         {PTKCoreUtils::FileUtils::getConfigDirectory(), ZVFUnified::CacheConfigStore::cacheDirectory()}) {
        std::vector<std::string> names;
        PTKCoreUtils::FileUtils::getFilesFromDirectory(directory, "", names);
        for (const std::string& name : names) {
            paths.push_back(directory + PTKCoreUtils::FileUtils::FileSeparator() + name);
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::vector<std::string> ConfigFiles::removed(const std::vector<std::string>& before,
                                              const std::vector<std::string>& after) {
    std::vector<std::string> gone;
    std::set_difference(before.begin(), before.end(), after.begin(), after.end(), std::back_inserter(gone));
    return gone;
}

}  // namespace nuvrixconfig
