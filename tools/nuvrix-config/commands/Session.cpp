#include "commands/Session.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "CacheConfigStore.h"
#include "PTKCoreUtils/FileUtils.h"
#include "commands/WatchList.h"
#include "host/Host.h"
#include "host/ProgramLocation.h"
#include "output/Output.h"

namespace nuvrixconfig {

Session::Session(GlobalOptions optionsIn, Output& outputIn)
    : options(std::move(optionsIn)), output(outputIn), watches(std::make_unique<WatchList>(output)) {}

Session::~Session() { endHost(); }

Host* Session::host() {
    if (runningHost) {
        return runningHost.get();
    }
    std::string path = options.pluginPath.empty() ? ProgramLocation::defaultPluginPath() : options.pluginPath;
    if (path.empty()) {
        output.error("cannot find libconfigservice.so next to the program; name it with --plugin PATH");
        return nullptr;
    }
    std::string error;
    runningHost = Host::start(path, error);
    if (!runningHost) {
        output.error(error);
    }
    return runningHost.get();
}

void Session::endHost() {
    if (!runningHost) {
        return;
    }
    // Value objects live on the services thread; so do the watches on them.
    std::string ignored;
    runningHost->onServicesThread([this] { watches->clear(); }, "nuvrix-config: drop watches", ignored);
    runningHost.reset();
}

bool Session::onServicesThread(const std::function<void()>& body, const std::string& taskName) {
    Host* running = host();
    if (!running) {
        return false;
    }
    std::string error;
    if (!running->onServicesThread(body, taskName, error)) {
        output.error(taskName + " failed: " + error);
        return false;
    }
    return true;
}

bool Session::checkConfigDirectoryWritable() {
    const std::pair<const char*, std::string> directories[] = {
        {"configuration directory ", PTKCoreUtils::FileUtils::getConfigDirectory()},
        {"cache directory ", ZVFUnified::CacheConfigStore::cacheDirectory()}};
    for (const auto& [label, directory] : directories) {
        // A directory still to be created: the first ancestor that exists
        // must take it.
        std::string existing = directory;
        while (!existing.empty() && !PTKCoreUtils::FileUtils::fileExists(existing)) {
            existing = PTKCoreUtils::FileUtils::getParentDirectory(existing);
        }
        if (existing.empty()) {
            existing = ".";
        }
        if (::access(existing.c_str(), W_OK | X_OK) != 0) {
            const int cause = errno;
            output.error(label + directory + " is not writable" +
                         (existing != directory ? " (" + existing + " cannot take it)" : std::string()) + ": " +
                         std::strerror(cause));
            return false;
        }
    }
    return true;
}

}  // namespace nuvrixconfig
