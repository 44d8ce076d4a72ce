#ifndef TESTS_CONFIGSERVICE_RECORDINGOBSERVERS_H
#define TESTS_CONFIGSERVICE_RECORDINGOBSERVERS_H

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "BusinessObjectProperties.h"
#include "ConfigServiceObserver.h"
#include "ConfigValueObserver.h"

namespace nuvrixtest {

// Observers of the config service and of config values that append
// "<name>:<callback>" to a shared event log for every callback ("Info",
// "Guid" or the property's name), so that tests can compare the exact
// sequence of notifications across observers and connected functions.
class EventRecorder {
public:
    EventRecorder(std::string nameIn, std::shared_ptr<std::vector<std::string>> logIn)
        : name(std::move(nameIn)), log(std::move(logIn)) {}

protected:
    void record(const std::string& callback) { log->push_back(name + ":" + callback); }

private:
    std::string name;
    std::shared_ptr<std::vector<std::string>> log;
};

#define NUVRIX_TEST_RECORD_CHANGE(Name, Type) \
    void On##Name##Changed() override { record(#Name); }

class RecordingConfigServiceObserver : public ZVFUnified::ConfigServiceObserver, public EventRecorder {
public:
    using EventRecorder::EventRecorder;
    void OnInfoChanged() override { record("Info"); }
    ZVF_UNIFIED_BUSINESS_OBJECT_PROPERTIES(NUVRIX_TEST_RECORD_CHANGE)
    ZVF_UNIFIED_SERVICE_PROPERTIES(NUVRIX_TEST_RECORD_CHANGE)
    ZVF_CONFIG_SERVICE_PROPERTIES(NUVRIX_TEST_RECORD_CHANGE)
};

class RecordingConfigValueObserver : public ZVFUnified::ConfigValueObserver, public EventRecorder {
public:
    using EventRecorder::EventRecorder;
    void OnInfoChanged() override { record("Info"); }
    ZVF_UNIFIED_BUSINESS_OBJECT_PROPERTIES(NUVRIX_TEST_RECORD_CHANGE)
    ZVF_CONFIG_VALUE_PROPERTIES(NUVRIX_TEST_RECORD_CHANGE)
};

#undef NUVRIX_TEST_RECORD_CHANGE

}  // namespace nuvrixtest

#endif
