#include "unified/PluginLoader.h"

#include <dlfcn.h>

#include <utility>

#include "logging/ZVFLogger.h"
#include "unified/UnifiedFactory.h"

namespace ZVFUnified {

namespace {

ZVFLogger* logger = ZVFLogger_getLogger("Host-PluginLoader");

std::string lastDlError() {
    const char* text = dlerror();
    return text ? text : "unknown error";
}

}  // namespace

PluginLoader::PluginLoader(std::string pathIn, std::string entryPointNameIn)
    : path(std::move(pathIn)), entryPointName(std::move(entryPointNameIn)) {}

PluginLoader::~PluginLoader() = default;

bool PluginLoader::load(std::string& error) {
    std::lock_guard<std::mutex> guard(lock);
    if (entryPoint) {
        return true;
    }
    if (!handle) {
        dlerror();
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            error = "cannot load plug-in " + path + ": " + lastDlError();
            ZVF_LOG(logger, 2, error);
            return false;
        }
    }
    dlerror();
    void* symbol = dlsym(handle, entryPointName.c_str());
    if (!symbol) {
        error = "plug-in " + path + " has no entry point " + entryPointName;
        ZVF_LOG(logger, 2, error);
        return false;
    }
    entryPoint = reinterpret_cast<EntryPoint>(symbol);
    ZVF_LOG(logger, 4, "loaded plug-in " + ZVFLogger_replacePIIData(path));
    return true;
}

bool PluginLoader::inject(std::shared_ptr<UnifiedFactory> factory, std::string& error) {
    if (!factory) {
        error = "no factory to inject plug-in " + path + " into";
        return false;
    }
    if (!load(error)) {
        return false;
    }
    EntryPoint call;
    {
        std::lock_guard<std::mutex> guard(lock);
        call = entryPoint;
    }
    // Outside the lock: the plug-in registers through the factory, which may
    // come back here through the installed loader.
    call(std::move(factory));
    return true;
}

bool PluginLoader::isLoaded() const {
    std::lock_guard<std::mutex> guard(lock);
    return handle != nullptr;
}

void PluginLoader::unload() {
    std::lock_guard<std::mutex> guard(lock);
    if (handle) {
        dlclose(handle);
        handle = nullptr;
        entryPoint = nullptr;
    }
}

void PluginLoader::installAsLoader(const std::shared_ptr<PluginLoader>& loader, UnifiedFactory& factory,
                                   std::set<std::string> typeNames) {
    auto names = std::make_shared<const std::set<std::string>>(std::move(typeNames));
    UnifiedFactory::Loader load = [loader, names](UnifiedFactory& target, const std::string& typeName) {
        if (names->count(typeName) == 0) {
            return false;
        }
        std::string error;
        return loader->inject(target.shared_from_this(), error);
    };
    factory.setServiceLoader(load);
    factory.setFeatureSetLoader(load);
}

}  // namespace ZVFUnified
