#ifndef TESTS_SUPPORT_HOSTTEST_H
#define TESTS_SUPPORT_HOSTTEST_H

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "TempDir.h"
#include "unified/UnifiedFactory.h"

namespace Processing {
class TaskDispatcher;
}

namespace nuvrixtest {

// Fixture for tests that run on a real host: a complete factory (services
// thread, task thread, data persistor, system service) and private
// configuration, local-application-data and resources directories in a
// temporary folder, published through NUVRIX_CONFIG_DIR,
// NUVRIX_LOCAL_APP_DIR and NUVRIX_RESOURCES_DIR. TearDown waits for queued
// work, shuts the host down and checks that no business object was touched
// off the services thread.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs body on the services thread and waits for it.
    void onServicesThread(const std::function<void()>& body);
    // Waits until the task dispatcher and then the services dispatcher are
    // idle (twice, so work that one queues on the other is included).
    void drainQueues();

    std::unique_ptr<TempDir> temp;
    std::string configDir;
    std::string localAppDir;
    std::string resourcesDir;
    std::shared_ptr<ZVFUnified::UnifiedFactory> factory;

private:
    long violationsAtStart = 0;
};

// Holds the task dispatcher's thread from construction until open() or
// destruction, so that a test sees what was queued before any of it runs.
class DispatcherGate {
public:
    explicit DispatcherGate(Processing::TaskDispatcher& dispatcher);
    ~DispatcherGate() { open(); }
    DispatcherGate(const DispatcherGate&) = delete;
    DispatcherGate& operator=(const DispatcherGate&) = delete;
    void open();

private:
    struct State;
    std::shared_ptr<State> state;  // shared with the queued task
};

// Sets the log threshold while it exists (log texts are part of what many
// tests check, whatever NUVRIX_LOG_LEVEL asks for).
class LogLevelScope {
public:
    explicit LogLevelScope(int level);
    ~LogLevelScope();
    LogLevelScope(const LogLevelScope&) = delete;
    LogLevelScope& operator=(const LogLevelScope&) = delete;

private:
    int previous;
};

}  // namespace nuvrixtest

#endif
