#ifndef TESTS_CONFIG_RECORDINGCONFIGSTORE_H
#define TESTS_CONFIG_RECORDINGCONFIGSTORE_H

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ConfigMap.h"
#include "ConfigStore.h"
#include "ConfigStoreManager_Observer.h"
#include "Processing/TaskDispatcher.h"

namespace storemanagertest {

// What a store's persistValues() saw. Shared with the test so that it can be
// read after the store itself is gone.
struct PersistRecord {
    std::mutex lock;
    int count = 0;
    std::vector<std::thread::id> threads;
    std::vector<bool> onDispatcherThread;
};

// A config store as other services of the client write them: a plain map,
// with its kind (read-only, local, cacheable) chosen by the test. It applies
// no FIPS rule of its own, so that the manager's rule is what a test sees.
// persistValues() records the calling thread.
class RecordingConfigStore : public ZVFUnified::ConfigStore {
public:
    struct Options {
        bool readOnly = true;
        bool local = false;
        bool cacheable = false;
        bool rejectWrites = false;  // storeValue answers false and changes nothing
        bool ready = true;
    };

    RecordingConfigStore(std::string name, int priority, Options options,
                         std::shared_ptr<Processing::TaskDispatcher> dispatcher = nullptr)
        : name(std::move(name)), priority(priority), options(options), dispatcher(std::move(dispatcher)),
          persisted(std::make_shared<PersistRecord>()) {}

    RecordingConfigStore& with(const std::wstring& key, const std::wstring& value) {
        std::lock_guard<std::mutex> guard(lock);
        values[key] = value;
        return *this;
    }

    // ConfigStore:
    bool getValue(const std::wstring& key, std::wstring& value) override {
        std::lock_guard<std::mutex> guard(lock);
        auto it = values.find(key);
        if (it == values.end()) {
            value.clear();
            return false;
        }
        value = it->second;
        return true;
    }
    bool storeValue(const std::wstring& key, const std::wstring& value) override {
        std::lock_guard<std::mutex> guard(lock);
        if (options.rejectWrites) {
            return false;
        }
        values[key] = value;
        return true;
    }
    std::vector<std::wstring> getKeys() override {
        std::lock_guard<std::mutex> guard(lock);
        std::vector<std::wstring> keys;
        for (const auto& entry : values) {
            keys.push_back(entry.first);
        }
        return keys;
    }
    bool removeValue(const std::wstring& key) override {
        std::lock_guard<std::mutex> guard(lock);
        return values.erase(key) > 0;
    }
    void removeAllValues() override {
        std::lock_guard<std::mutex> guard(lock);
        values.clear();
    }
    bool isReadOnly() override { return options.readOnly; }
    std::string getName() override { return name; }
    int getPriority() override { return priority; }
    void persistValues() override {
        std::lock_guard<std::mutex> guard(persisted->lock);
        ++persisted->count;
        persisted->threads.push_back(std::this_thread::get_id());
        persisted->onDispatcherThread.push_back(dispatcher && dispatcher->isDispatcherThread());
    }
    void destroy() override { destroyCount.fetch_add(1); }
    bool isLocal() override { return options.local; }
    bool waitForStoreReady() override {
        waitCount.fetch_add(1);
        return options.ready;
    }
    bool shouldCacheConfigStore() override { return options.cacheable; }

    int persistCount() {
        std::lock_guard<std::mutex> guard(persisted->lock);
        return persisted->count;
    }
    std::shared_ptr<PersistRecord> persistRecord() { return persisted; }

    std::atomic<int> destroyCount{0};
    std::atomic<int> waitCount{0};

private:
    std::mutex lock;
    ZVFUnified::ConfigMap values;
    std::string name;
    int priority;
    Options options;
    std::shared_ptr<Processing::TaskDispatcher> dispatcher;
    std::shared_ptr<PersistRecord> persisted;
};

inline RecordingConfigStore::Options readOnlyStore() { return RecordingConfigStore::Options{}; }

inline RecordingConfigStore::Options writableStore() {
    RecordingConfigStore::Options options;
    options.readOnly = false;
    return options;
}

// Records every report of the manager as one line of text, in order:
//   "update <key>=<value> orig=<originalValue> overridden=<0|1> defined=<0|1>
//    store=<valueStore> origStore=<originalStore> silent=<0|1>"
//   "fire <key>"
//   "sensitive <key>"
class RecordingObserver : public ZVFUnified::ConfigStoreManager_Observer {
public:
    void onFireIfRequired(std::wstring key) override { add(L"fire " + key); }
    void onSensitiveKeyAddedOrUpdated(std::wstring key) override { add(L"sensitive " + key); }
    void onConfigAddedOrUpdated(std::wstring key, std::wstring value, std::wstring originalValue, bool isOverridden,
                                bool isDefined, std::wstring valueStoreName, std::wstring originalValueStoreName,
                                bool silent) override {
        add(L"update " + key + L"=" + value + L" orig=" + originalValue + L" overridden=" +
            (isOverridden ? L"1" : L"0") + L" defined=" + (isDefined ? L"1" : L"0") + L" store=" + valueStoreName +
            L" origStore=" + originalValueStoreName + L" silent=" + (silent ? L"1" : L"0"));
    }

    std::vector<std::wstring> events() {
        std::lock_guard<std::mutex> guard(lock);
        return recorded;
    }
    void clear() {
        std::lock_guard<std::mutex> guard(lock);
        recorded.clear();
    }
    std::size_t size() {
        std::lock_guard<std::mutex> guard(lock);
        return recorded.size();
    }

private:
    void add(std::wstring line) {
        std::lock_guard<std::mutex> guard(lock);
        recorded.push_back(std::move(line));
    }

    std::mutex lock;
    std::vector<std::wstring> recorded;
};

}  // namespace storemanagertest

#endif
