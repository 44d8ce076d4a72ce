#ifndef TESTS_CONFIGSERVICE_RECORDINGCONFIGSERVICEOBSERVER_H
#define TESTS_CONFIGSERVICE_RECORDINGCONFIGSERVICEOBSERVER_H

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ConfigServiceObserver.h"

namespace nuvrixtest {

// A config service observer that appends "<name>:<callback>" to a shared
// event log for every callback.
class RecordingConfigServiceObserver : public ZVFUnified::ConfigServiceObserver {
public:
    RecordingConfigServiceObserver(std::string nameIn, std::shared_ptr<std::vector<std::string>> logIn)
        : name(std::move(nameIn)), log(std::move(logIn)) {}

    void OnInfoChanged() override { record("Info"); }
    void OnGuidChanged() override { record("Guid"); }
    void OnBulkUpdateInProgressChanged() override { record("BulkUpdateInProgress"); }
    void OnConfigReadyChanged() override { record("ConfigReady"); }

private:
    void record(const std::string& callback) { log->push_back(name + ":" + callback); }

    std::string name;
    std::shared_ptr<std::vector<std::string>> log;
};

}  // namespace nuvrixtest

#endif
