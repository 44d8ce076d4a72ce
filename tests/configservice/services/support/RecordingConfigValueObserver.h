#ifndef TESTS_CONFIGSERVICE_RECORDINGCONFIGVALUEOBSERVER_H
#define TESTS_CONFIGSERVICE_RECORDINGCONFIGVALUEOBSERVER_H

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ConfigValueObserver.h"

namespace nuvrixtest {

// A config value observer that appends "<name>:<property>" to a shared
// event log for every callback, so tests can compare the exact sequence of
// notifications across observers and connected functions.
class RecordingConfigValueObserver : public ZVFUnified::ConfigValueObserver {
public:
    RecordingConfigValueObserver(std::string nameIn, std::shared_ptr<std::vector<std::string>> logIn)
        : name(std::move(nameIn)), log(std::move(logIn)) {}

    void OnInfoChanged() override { record("Info"); }
    void OnGuidChanged() override { record("Guid"); }
    void OnKeyChanged() override { record("Key"); }
    void OnValueChanged() override { record("Value"); }
    void OnOriginalValueChanged() override { record("OriginalValue"); }
    void OnisOverriddenChanged() override { record("isOverridden"); }
    void OnisDefinedChanged() override { record("isDefined"); }
    void OnValueStoreNameChanged() override { record("ValueStoreName"); }
    void OnOriginalValueStoreNameChanged() override { record("OriginalValueStoreName"); }

private:
    void record(const std::string& property) { log->push_back(name + ":" + property); }

    std::string name;
    std::shared_ptr<std::vector<std::string>> log;
};

}  // namespace nuvrixtest

#endif
