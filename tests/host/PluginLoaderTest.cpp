// The host's plug-in loader on libraries that cannot serve as the config
// plug-in: the message names the path and the cause.
#include "unified/PluginLoader.h"

#include <gtest/gtest.h>

#include <string>

#include "HostTest.h"

namespace {

class PluginLoaderTest : public nuvrixtest::HostTest {};

TEST_F(PluginLoaderTest, MissingFileOrEntryPointIsAOneLineErrorAndNothingIsInjected) {
    const std::string missing = temp->file("libnothing.so");
    ZVFUnified::PluginLoader absent(missing, "InjectConfigService");
    std::string error;
    EXPECT_FALSE(absent.inject(factory, error));
    EXPECT_EQ(0u, error.rfind("cannot load plug-in " + missing + ": ", 0)) << error;
    EXPECT_FALSE(absent.isLoaded());

    // A real plug-in of another kind: it loads, but has no such entry point.
    ZVFUnified::PluginLoader other(NUVRIX_TEST_PLUGIN_PATH, "InjectConfigService");
    error.clear();
    EXPECT_FALSE(other.inject(factory, error));
    EXPECT_EQ("plug-in " + std::string(NUVRIX_TEST_PLUGIN_PATH) + " has no entry point InjectConfigService", error);
    EXPECT_EQ(error.find('\n'), std::string::npos);
}

}  // namespace
