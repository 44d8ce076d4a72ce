// The user's settings through the real plug-in when the disk fails a write:
// what the user set must not be lost because one write of it failed.
#include <gtest/gtest.h>

#include "FaultInjectingFileSystem.h"
#include "PluginTest.h"

namespace nuvrixtest {
namespace {

class SettingsPersistenceFaultTest : public PluginTest {};

TEST_F(SettingsPersistenceFaultTest, SettingsWriteThatFailedIsWrittenByTheNextPersist) {
    inject();
    start();
    ASSERT_TRUE(featureSet()->setConfig(L"Theme", L"Dark"));
    drainQueues();
    {
        FaultInjectingFileSystem faulty;
        faulty.failNext("write", FaultInjectingFileSystem::Fault::Enospc);
        ASSERT_TRUE(featureSet()->setConfig(L"Theme", L"Solarized"));
        drainQueues();
        ASSERT_TRUE(faulty.hasFired());
    }
    EXPECT_TRUE(capture->contains("cannot write the temporary file for " + configDir + "/nuvrixLocalConfig.dat", 2));
    // The space is back; the stop persists what the disk does not hold yet.
    stop();
    newRun();
    start();
    EXPECT_EQ(L"Solarized", valueOf(L"Theme"));
}

}  // namespace
}  // namespace nuvrixtest
