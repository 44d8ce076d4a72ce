// The shared fixture and helpers of the store tests: a recording config
// store and manager observer, and StoreManagerTest, which every store-manager
// test file derives from.
#ifndef TESTS_CONFIG_STOREMANAGERTEST_H
#define TESTS_CONFIG_STOREMANAGERTEST_H

#include <atomic>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "ConfigMap.h"
#include "ConfigStore.h"
#include "ConfigStoreManager.h"
#include "ConfigStoreManager_Observer.h"
#include "HostTest.h"
#include "Processing/TaskDispatcher.h"
#include "logging/LogCapture.h"
#include "zvf/common/FipsUtils.h"

namespace storemanagertest {

// What a store's persistValues() saw. Shared with the test so that it can be
// read after the store itself is gone.
struct PersistRecord {
    std::mutex lock;
    int count = 0;
    std::vector<bool> onDispatcherThread;
};

// A config store as other services of the client write them: a plain map,
// with its kind (read-only, local, cacheable) chosen by the test. It applies
// no FIPS rule of its own, so that the manager's rule is what a test sees.
// persistValues() records whether it ran on the task dispatcher's thread.
class RecordingConfigStore : public ZVFUnified::ConfigStore {
public:
    struct Options {
        bool readOnly = true;
        bool local = false;
        bool cacheable = false;
        bool rejectWrites = false;  // storeValue answers false and changes nothing
        bool ready = true;
    };

    RecordingConfigStore(std::string name, int priority, Options options, ZVFUnified::ConfigMap values = {},
                         std::shared_ptr<Processing::TaskDispatcher> dispatcher = nullptr)
        : values(std::move(values)), name(std::move(name)), priority(priority), options(options),
          dispatcher(std::move(dispatcher)), persisted(std::make_shared<PersistRecord>()) {}

    RecordingConfigStore& with(const std::wstring& key, const std::wstring& value) {
        std::lock_guard<std::mutex> guard(lock);
        values[key] = value;
        return *this;
    }

    // ConfigStore:
    bool getValue(const std::wstring& key, std::wstring& value) override {
        std::lock_guard<std::mutex> guard(lock);
        auto it = values.find(key);
        value = it == values.end() ? std::wstring() : it->second;
        return it != values.end();
    }
    bool storeValue(const std::wstring& key, const std::wstring& value) override {
        std::lock_guard<std::mutex> guard(lock);
        if (!options.rejectWrites) {
            values[key] = value;
        }
        return !options.rejectWrites;
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

// The kinds of store the tests list.
inline RecordingConfigStore::Options storeKind(bool readOnly, bool local = false, bool cacheable = false) {
    RecordingConfigStore::Options options;
    options.readOnly = readOnly;
    options.local = local;
    options.cacheable = cacheable;
    return options;
}
inline RecordingConfigStore::Options readOnlyStore() { return storeKind(true); }
inline RecordingConfigStore::Options writableStore() { return storeKind(false); }
inline RecordingConfigStore::Options localStore(bool readOnly) { return storeKind(readOnly, true); }
inline RecordingConfigStore::Options cacheableStore() { return storeKind(true, false, true); }

// A store's value for key, or "<missing:...>" with what getValue left in the
// value on a miss.
inline std::wstring valueOf(ZVFUnified::ConfigStore& store, const std::wstring& key) {
    std::wstring value = L"unset";
    return store.getValue(key, value) ? value : L"<missing:" + value + L">";
}

// Every entry of a store as "key=value" pieces joined by spaces, in key order.
inline std::wstring contentOf(ZVFUnified::ConfigStore& store) {
    std::wstring text;
    for (const std::wstring& key : store.getKeys()) {
        text += (text.empty() ? L"" : L" ") + key + L"=" + valueOf(store, key);
    }
    return text;
}

// The messages one logger wrote, with their levels.
inline std::vector<std::pair<int, std::string>> loggedBy(const LogCapture& capture, const std::string& logger) {
    std::vector<std::pair<int, std::string>> logged;
    for (const LogCapture::Record& record : capture.records()) {
        if (record.logger == logger) {
            logged.emplace_back(record.level, record.message);
        }
    }
    return logged;
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
    // The events so far, forgetting them.
    std::vector<std::wstring> take() {
        std::lock_guard<std::mutex> guard(lock);
        return std::exchange(recorded, {});
    }
    void clear() { take(); }

private:
    void add(std::wstring line) {
        std::lock_guard<std::mutex> guard(lock);
        recorded.push_back(std::move(line));
    }

    std::mutex lock;
    std::vector<std::wstring> recorded;
};

// The whole answer of a lookup: result, value, store name and alias flag.
struct Answer {
    bool result;
    std::wstring value;
    std::wstring store;
    bool viaAlias;
    bool operator==(const Answer& other) const {
        return result == other.result && value == other.value && store == other.store && viaAlias == other.viaAlias;
    }
};
inline void PrintTo(const Answer& answer, std::ostream* out) {
    *out << answer.result << " " << testing::PrintToString(answer.value) << " from "
         << testing::PrintToString(answer.store) << " viaAlias=" << answer.viaAlias;
}
inline Answer hit(const std::wstring& value, const std::wstring& store, bool viaAlias = false) {
    return {true, value, store, viaAlias};
}
// A miss empties the value and leaves the store name as it was.
const Answer kMiss{false, L"", L"untouched", false};

// A store manager on the real host with a recording observer, at log level 4
// (the life-cycle lines are part of what the tests check).
class StoreManagerTest : public nuvrixtest::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        logLevel = std::make_unique<nuvrixtest::LogLevelScope>(4);
        dispatcher = factory->getTaskDispatcher();
        manager = std::make_unique<ZVFUnified::ConfigStoreManager>(factory);
        manager->AddObserver(&observer);
    }
    void TearDown() override {
        zvf::common::FipsUtils::setFipsOverrideForTesting(-1);
        drainQueues();
        manager.reset();
        dispatcher.reset();
        HostTest::TearDown();
        logLevel.reset();
    }

    std::shared_ptr<RecordingConfigStore> addStore(const std::string& name, int priority,
                                                   RecordingConfigStore::Options options,
                                                   ZVFUnified::ConfigMap values = {}) {
        auto store = std::make_shared<RecordingConfigStore>(name, priority, options, std::move(values), dispatcher);
        manager->addStore(store);
        return store;
    }

    Answer ask(const std::wstring& key, bool skipLocal = false, const std::string& filter = std::string()) {
        Answer answer{false, L"stale", L"untouched", false};
        answer.result = manager->getValue(key, answer.value, answer.store, answer.viaAlias, skipLocal, filter);
        return answer;
    }

    // The messages the manager logged, in order.
    static std::vector<std::string> managerMessages(const LogCapture& capture) {
        std::vector<std::string> out;
        for (const auto& entry : loggedBy(capture, "ConfigService-ConfigStoreManager")) {
            out.push_back(entry.second);
        }
        return out;
    }

    std::shared_ptr<Processing::TaskDispatcher> dispatcher;
    std::unique_ptr<ZVFUnified::ConfigStoreManager> manager;
    RecordingObserver observer;
    std::unique_ptr<nuvrixtest::LogLevelScope> logLevel;
};

}  // namespace storemanagertest

#endif
