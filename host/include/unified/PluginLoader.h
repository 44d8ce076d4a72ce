#ifndef UNIFIED_PLUGINLOADER_H
#define UNIFIED_PLUGINLOADER_H

#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "NuvrixHostExport.h"

namespace ZVFUnified {

class UnifiedFactory;

// Loads a plug-in shared library the way the client's host does at start-up:
// dlopen by path, find the plug-in's entry point with dlsym, and call it with
// the factory so that the plug-in registers its services and feature sets.
// A missing file, a library that does not load or a missing entry point is
// reported as a one-line error naming the path and the cause.
//
// The library stays loaded when the loader goes away: objects the plug-in
// created may outlive the loader. unload() closes it explicitly, for a host
// that knows nothing of the plug-in is alive any more. Thread-safe.
class NUVRIX_HOST_API PluginLoader {
public:
    // The signature every plug-in entry point has, exported with C linkage.
    using EntryPoint = void (*)(std::shared_ptr<UnifiedFactory>);

    PluginLoader(std::string path, std::string entryPointName);
    ~PluginLoader();
    PluginLoader(const PluginLoader&) = delete;
    PluginLoader& operator=(const PluginLoader&) = delete;

    // Opens the library and finds the entry point (once). False with error
    // set when either fails.
    bool load(std::string& error);
    // load(), then calls the entry point with factory.
    bool inject(std::shared_ptr<UnifiedFactory> factory, std::string& error);
    bool isLoaded() const;
    // Closes the library. Only safe once every object it made is gone.
    void unload();
    const std::string& getPath() const { return path; }
    const std::string& getEntryPointName() const { return entryPointName; }

    // Makes loader the factory's service and feature-set loader for the given
    // type names (as UnifiedFactory's getService/getFeatureSet name types):
    // the first lookup of one of them that finds nothing injects the plug-in.
    static void installAsLoader(const std::shared_ptr<PluginLoader>& loader, UnifiedFactory& factory,
                                std::set<std::string> typeNames);

private:
    const std::string path;
    const std::string entryPointName;
    mutable std::mutex lock;  // guards handle and entryPoint
    void* handle = nullptr;
    EntryPoint entryPoint = nullptr;
};

}  // namespace ZVFUnified

#endif
