#ifndef NUVRIXCONFIG_HOST_H
#define NUVRIXCONFIG_HOST_H

#include <functional>
#include <memory>
#include <string>

namespace ZVFUnified {
class ConfigFeatureSet;
class ConfigService;
class FeatureSetAdapter;
class PluginLoader;
class UnifiedFactory;
}  // namespace ZVFUnified

namespace nuvrixconfig {

// One running client host with the configuration plug-in in it, set up the
// way the client does at start-up: a complete factory, the plug-in loaded
// with dlopen and injected, feature set 1300 started. The destructor stops
// the feature set and shuts the factory down, which runs the persistence
// work still queued, so every acknowledged write is on disk when it returns.
//
// The service and its value objects may only be used on the services
// thread: onServicesThread runs a function there and waits for it. The
// feature set and the stores may be used from any thread. The process
// environment (NUVRIX_* directories) must be in place before start().
class Host {
public:
    static constexpr unsigned int CONFIG_FEATURE_SET_ID = 1300;
    static constexpr const char* ENTRY_POINT = "InjectConfigService";

    // Empty, with a one-line reason in error, when the plug-in cannot be
    // loaded or does not register the configuration service.
    static std::unique_ptr<Host> start(const std::string& pluginPath, std::string& error);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Runs body on the services thread and waits for it. An exception body
    // throws is caught there and reported as false with its text in error.
    bool onServicesThread(const std::function<void()>& body, const std::string& taskName, std::string& error);
    // Waits until both dispatchers are idle, twice, so that change reports
    // the task thread queues for the services thread have reached the value
    // objects.
    void settle();

    std::shared_ptr<ZVFUnified::ConfigService> getService() const;
    std::shared_ptr<ZVFUnified::ConfigFeatureSet> getFeatureSet() const;
    std::shared_ptr<ZVFUnified::UnifiedFactory> getFactory() const { return factory; }

private:
    Host(std::shared_ptr<ZVFUnified::PluginLoader> loader, std::shared_ptr<ZVFUnified::UnifiedFactory> factory);

    std::shared_ptr<ZVFUnified::PluginLoader> loader;  // keeps the library's record; never unloaded
    std::shared_ptr<ZVFUnified::UnifiedFactory> factory;
    std::shared_ptr<ZVFUnified::FeatureSetAdapter> adapter;  // empty until started
};

}  // namespace nuvrixconfig

#endif
