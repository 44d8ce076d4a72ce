#include "ConfigStoreManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ConfigStoreAddedObserver.h"
#include "ConfigStoreConstants.h"
#include "HostTest.h"
#include "InMemoryConfigStore.h"
#include "Processing/TaskDispatcher.h"
#include "RecordingConfigStore.h"
#include "logging/LogCapture.h"
#include "logging/ZVFLogger.h"
#include "zvf/common/FipsUtils.h"

using storemanagertest::RecordingConfigStore;
using storemanagertest::RecordingObserver;
using storemanagertest::readOnlyStore;
using storemanagertest::writableStore;
using ZVFUnified::ConfigMap;
using ZVFUnified::ConfigStoreManager;
using ZVFUnified::InMemoryConfigStore;

namespace {

// Holds the task dispatcher's thread until released (or destroyed), so that
// a test can see what was queued before any of it runs.
class DispatcherGate {
public:
    explicit DispatcherGate(const std::shared_ptr<Processing::TaskDispatcher>& dispatcher) : state(std::make_shared<State>()) {
        std::shared_ptr<State> shared = state;
        dispatcher->enqueue(
            [shared] {
                std::unique_lock<std::mutex> guard(shared->lock);
                shared->entered = true;
                shared->changed.notify_all();
                shared->changed.wait(guard, [&] { return shared->open; });
            },
            "test gate");
        std::unique_lock<std::mutex> guard(state->lock);
        state->changed.wait(guard, [&] { return state->entered; });
    }
    ~DispatcherGate() { release(); }
    void release() {
        std::lock_guard<std::mutex> guard(state->lock);
        state->open = true;
        state->changed.notify_all();
    }

private:
    struct State {
        std::mutex lock;
        std::condition_variable changed;
        bool entered = false;
        bool open = false;
    };
    std::shared_ptr<State> state;
};

// Restores the log threshold a test changed.
class LogLevelScope {
public:
    explicit LogLevelScope(int level) : previous(ZVFLogger_getLevel()) { ZVFLogger_setLevel(level); }
    ~LogLevelScope() { ZVFLogger_setLevel(previous); }

private:
    int previous;
};

struct StoreAddedCall {
    std::string name;
    bool onDispatcherThread;
};

struct StoreAddedRecord {
    std::mutex lock;
    std::vector<StoreAddedCall> calls;
    std::vector<StoreAddedCall> snapshot() {
        std::lock_guard<std::mutex> guard(lock);
        return calls;
    }
};

class RecordingStoreAddedObserver : public ZVFUnified::ConfigStoreAddedObserver {
public:
    RecordingStoreAddedObserver(std::shared_ptr<Processing::TaskDispatcher> dispatcher,
                                std::shared_ptr<StoreAddedRecord> record)
        : dispatcher(std::move(dispatcher)), record(std::move(record)) {}
    void OnConfigStoreAdded(const std::string& storeName) override {
        std::lock_guard<std::mutex> guard(record->lock);
        record->calls.push_back({storeName, dispatcher->isDispatcherThread()});
    }

private:
    std::shared_ptr<Processing::TaskDispatcher> dispatcher;
    std::shared_ptr<StoreAddedRecord> record;
};

}  // namespace

class ConfigStoreManagerTest : public nuvrixtest::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        // The log texts are part of the behaviour checked here: record the
        // life-cycle level whatever the environment asks for.
        logLevel = std::make_unique<LogLevelScope>(4);
        dispatcher = factory->getTaskDispatcher();
        manager = std::make_unique<ConfigStoreManager>(factory);
        manager->AddObserver(&observer);
    }

    void TearDown() override {
        zvf::common::FipsUtils::setFipsOverrideForTesting(-1);
        if (factory) {
            dispatcher->waitUntilIdle();
        }
        manager.reset();
        dispatcher.reset();
        HostTest::TearDown();
        logLevel.reset();
    }

    std::shared_ptr<RecordingConfigStore> makeStore(const std::string& name, int priority,
                                                    RecordingConfigStore::Options options,
                                                    const std::map<std::wstring, std::wstring>& values = {}) {
        auto store = std::make_shared<RecordingConfigStore>(name, priority, options, dispatcher);
        for (const auto& entry : values) {
            store->with(entry.first, entry.second);
        }
        return store;
    }

    std::shared_ptr<RecordingConfigStore> addStore(const std::string& name, int priority,
                                                   RecordingConfigStore::Options options,
                                                   const std::map<std::wstring, std::wstring>& values = {}) {
        auto store = makeStore(name, priority, options, values);
        manager->addStore(store);
        return store;
    }

    std::wstring lookup(const std::wstring& key, std::wstring* storeName = nullptr, bool* viaAlias = nullptr,
                        bool skipLocal = false, const std::string& filter = std::string()) {
        std::wstring value;
        std::wstring name;
        bool alias = false;
        found = manager->getValue(key, value, name, alias, skipLocal, filter);
        if (storeName) {
            *storeName = name;
        }
        if (viaAlias) {
            *viaAlias = alias;
        }
        return value;
    }

    std::shared_ptr<Processing::TaskDispatcher> dispatcher;
    std::unique_ptr<ConfigStoreManager> manager;
    RecordingObserver observer;
    bool found = false;
    std::unique_ptr<LogLevelScope> logLevel;
};

// ---- Lookup ----------------------------------------------------------------

TEST_F(ConfigStoreManagerTest, LowerPriorityNumberAnswersFirstWhateverTheOrderOfAdding) {
    addStore("Admin", 500, readOnlyStore(), {{L"A", L"admin"}, {L"OnlyAdmin", L"x"}});
    addStore("User", 20, writableStore(), {{L"A", L"user"}});

    std::wstring storeName;
    EXPECT_EQ(L"user", lookup(L"A", &storeName));
    EXPECT_TRUE(found);
    EXPECT_EQ(L"User", storeName);

    EXPECT_EQ(L"x", lookup(L"onlyadmin", &storeName));
    EXPECT_TRUE(found);
    EXPECT_EQ(L"Admin", storeName);

    // A miss empties the value and leaves the store name alone.
    std::wstring value = L"stale";
    storeName = L"untouched";
    bool viaAlias = false;
    EXPECT_FALSE(manager->getValue(L"Missing", value, storeName, viaAlias, false, ""));
    EXPECT_EQ(L"", value);
    EXPECT_EQ(L"untouched", storeName);
}

TEST_F(ConfigStoreManagerTest, SkipLocalConsultsReadOnlyStoresOnly) {
    addStore("LocalFileConfigStore", 20, writableStore(), {{L"UserOnly", L"u"}, {L"Both", L"user"}});
    addStore("Admin", 500, readOnlyStore(), {{L"Both", L"admin"}});

    std::wstring storeName;
    EXPECT_EQ(L"", lookup(L"UserOnly", &storeName, nullptr, true));
    EXPECT_FALSE(found);
    EXPECT_EQ(L"admin", lookup(L"Both", &storeName, nullptr, true));
    EXPECT_TRUE(found);
    EXPECT_EQ(L"Admin", storeName);
    EXPECT_EQ(L"user", lookup(L"Both", &storeName, nullptr, false));
}

TEST_F(ConfigStoreManagerTest, StoreFilterConsultsOnlyTheNamedStoreIgnoringCase) {
    addStore("First", 10, readOnlyStore(), {{L"K", L"first"}});
    addStore("Second", 20, readOnlyStore(), {{L"K", L"second"}, {L"Other", L"o"}});

    std::wstring storeName;
    EXPECT_EQ(L"second", lookup(L"K", &storeName, nullptr, false, "SECOND"));
    EXPECT_EQ(L"Second", storeName);

    std::wstring value;
    EXPECT_TRUE(manager->getValueFromStore(L"K", value, "second"));
    EXPECT_EQ(L"second", value);
    EXPECT_FALSE(manager->getValueFromStore(L"Other", value, "First"));
    EXPECT_EQ(L"", value);

    EXPECT_EQ(L"first", manager->getValueFromConfigStore("first", L"k"));
    EXPECT_EQ(L"", manager->getValueFromConfigStore("Missing", L"K"));
    EXPECT_TRUE(manager->getValue(L"K", value, true));
    EXPECT_EQ(L"first", value);
}

TEST_F(ConfigStoreManagerTest, FipsModeForcesPeerToPeerOffOnEveryLookupResult) {
    addStore("Empty", 10, readOnlyStore(), {{L"Unrelated", L"u"}});
    // The test store applies no FIPS rule itself: what is seen here is the manager's.
    addStore("Admin", 500, readOnlyStore(), {{L"Telephony_P2P_Enabled", L"true"}, {L"Other", L"true"}});

    zvf::common::FipsUtils::setFipsOverrideForTesting(1);
    std::wstring storeName;
    EXPECT_EQ(L"false", lookup(L"telephony_p2p_ENABLED", &storeName));
    EXPECT_TRUE(found);
    EXPECT_EQ(L"Admin", storeName);
    EXPECT_EQ(L"true", lookup(L"Other"));

    // The rule applies after the walk, found or not.
    std::wstring value = L"stale";
    EXPECT_FALSE(manager->getValueFromStore(L"Telephony_P2P_Enabled", value, "Empty"));
    EXPECT_EQ(L"false", value);

    // Reports carry the rule's value too.
    observer.clear();
    manager->updateKey(L"Telephony_P2P_Enabled", false);
    ASSERT_EQ(1u, observer.size());
    EXPECT_EQ(L"update Telephony_P2P_Enabled=false orig=true overridden=0 defined=1 store=Admin origStore=Admin silent=0",
              observer.events()[0]);

    zvf::common::FipsUtils::setFipsOverrideForTesting(0);
    EXPECT_EQ(L"true", lookup(L"Telephony_P2P_Enabled"));
}

// ---- Key aliases -----------------------------------------------------------

TEST_F(ConfigStoreManagerTest, OldKeyNameFindsValueStoredUnderCurrentNameWithoutAliasFlag) {
    addStore("Admin", 500, readOnlyStore(), {{L"TFTPPrimaryServer", L"tftp.example"}});

    bool viaAlias = false;
    std::wstring storeName;
    EXPECT_EQ(L"tftp.example", lookup(L"tftpserver1", &storeName, &viaAlias));
    EXPECT_TRUE(found);
    EXPECT_FALSE(viaAlias);
    EXPECT_EQ(L"Admin", storeName);
}

TEST_F(ConfigStoreManagerTest, ValueStoredOnlyUnderOtherNameIsFoundAndFlaggedBothWays) {
    addStore("Admin", 500, readOnlyStore(), {{L"TftpServer1", L"legacy"}, {L"CTIPrimaryServer", L"cti"}});

    bool viaAlias = false;
    // Old name asked, only the old name stored.
    EXPECT_EQ(L"legacy", lookup(L"TftpServer1", nullptr, &viaAlias));
    EXPECT_TRUE(found);
    EXPECT_TRUE(viaAlias);

    // Current name asked, only the old name stored.
    viaAlias = false;
    EXPECT_EQ(L"legacy", lookup(L"TFTPPrimaryServer", nullptr, &viaAlias));
    EXPECT_TRUE(found);
    EXPECT_TRUE(viaAlias);

    // Old name asked, current name stored: no flag.
    viaAlias = false;
    EXPECT_EQ(L"cti", lookup(L"CtiServer1", nullptr, &viaAlias));
    EXPECT_FALSE(viaAlias);

    // The flag is only ever set, never cleared.
    std::wstring value;
    std::wstring storeName;
    bool flag = true;
    EXPECT_TRUE(manager->getValue(L"CTIPrimaryServer", value, storeName, flag, false, ""));
    EXPECT_TRUE(flag);
}

TEST_F(ConfigStoreManagerTest, AliasTablesResolveBothDirectionsIgnoringCase) {
    std::wstring name;
    EXPECT_TRUE(manager->isKeyAlias(L"vvm_mailstore_server_0", name));
    EXPECT_EQ(L"VoicemailPrimaryServer", name);
    EXPECT_TRUE(manager->hasKeyAlias(L"voicemailprimaryserver", name));
    EXPECT_EQ(L"VVM_Mailstore_Server_0", name);
    EXPECT_FALSE(manager->isKeyAlias(L"VoicemailPrimaryServer", name));
    EXPECT_EQ(L"", name);
    EXPECT_FALSE(manager->hasKeyAlias(L"VVM_Mailstore_Server_0", name));
    EXPECT_EQ(L"", name);

    ConfigMap aliases = manager->getAliasToConfigKeyRealNameMap();
    EXPECT_EQ(18u, aliases.size());
    EXPECT_EQ(L"DiscoveredPresenceServerType", aliases[L"PresenceServerType"]);
}

// ---- Original values and overrides -----------------------------------------

TEST_F(ConfigStoreManagerTest, OriginalValueIsTheFirstReadOnlyValueAndOverriddenOnlyByAnEarlierUserValue) {
    addStore("Early", 10, readOnlyStore(), {{L"EarlyAdmin", L"e"}});
    addStore("User", 20, writableStore(), {{L"K", L"user"}, {L"EarlyAdmin", L"user"}, {L"UserOnly", L"u"}});
    addStore("Admin", 500, readOnlyStore(), {{L"K", L"admin"}, {L"AdminOnly", L"a"}, {L"EarlyAdmin", L"late"}});

    std::wstring original;
    std::wstring originalStore;
    bool viaAlias = true;
    EXPECT_TRUE(manager->getOriginalValue(L"k", original, originalStore, viaAlias));
    EXPECT_EQ(L"admin", original);
    EXPECT_EQ(L"Admin", originalStore);
    EXPECT_FALSE(viaAlias);

    original.clear();
    originalStore.clear();
    EXPECT_FALSE(manager->getOriginalValue(L"AdminOnly", original, originalStore, viaAlias));
    EXPECT_EQ(L"a", original);

    EXPECT_FALSE(manager->getOriginalValue(L"EarlyAdmin", original, originalStore, viaAlias));
    EXPECT_EQ(L"e", original);
    EXPECT_EQ(L"Early", originalStore);

    originalStore.clear();
    EXPECT_TRUE(manager->getOriginalValue(L"UserOnly", original, originalStore, viaAlias));
    EXPECT_EQ(L"", original);
    EXPECT_EQ(L"", originalStore);
}

TEST_F(ConfigStoreManagerTest, OriginalValueFollowsAliasesBothWays) {
    addStore("User", 20, writableStore(), {{L"TftpServer2", L"user-old"}});
    addStore("Admin", 500, readOnlyStore(), {{L"TftpServer2", L"admin-old"}, {L"CtiServer2", L"cti-old"}});

    std::wstring original;
    std::wstring originalStore;
    bool viaAlias = false;
    // Old name asked; nothing under the current name, so the old name decides.
    EXPECT_TRUE(manager->getOriginalValue(L"TftpServer2", original, originalStore, viaAlias));
    EXPECT_TRUE(viaAlias);
    EXPECT_EQ(L"admin-old", original);

    // Current name asked; no read-only store has it, so the old name decides.
    EXPECT_TRUE(manager->getOriginalValue(L"TFTPBackupServer1", original, originalStore, viaAlias));
    EXPECT_TRUE(viaAlias);
    EXPECT_EQ(L"admin-old", original);

    // Without a user value the fallback reports no override, and no flag.
    EXPECT_FALSE(manager->getOriginalValue(L"CTIBackupServer", original, originalStore, viaAlias));
    EXPECT_FALSE(viaAlias);
    EXPECT_EQ(L"cti-old", original);
    EXPECT_EQ(L"Admin", originalStore);
}

TEST_F(ConfigStoreManagerTest, UserValueOverridesAdministratorValueInReports) {
    addStore("Admin", 500, readOnlyStore(), {{L"K", L"admin"}});
    addStore("LocalFileConfigStore", 20, writableStore());
    observer.clear();

    EXPECT_TRUE(manager->storeValue(L"K", L"user"));
    std::vector<std::wstring> expected = {
        L"update K=user orig=admin overridden=1 defined=1 store=LocalFileConfigStore origStore=Admin silent=0"};
    EXPECT_EQ(expected, observer.events());

    // An administrator store ahead of the user store wins and nothing is overridden.
    observer.clear();
    addStore("Policy", 10, readOnlyStore(), {{L"K", L"policy"}});
    expected = {L"update K=policy orig=policy overridden=0 defined=1 store=Policy origStore=Policy silent=1",
                L"fire K"};
    EXPECT_EQ(expected, observer.events());
}

TEST_F(ConfigStoreManagerTest, OverrideRulesFollowTheNameThatSuppliedTheValues) {
    addStore("User", 20, writableStore(), {{L"VVM_Mailstore_Server_1", L"user-old"}, {L"CTIPrimaryServer", L"user-new"}});
    addStore("Admin", 500, readOnlyStore(),
             {{L"VVM_Mailstore_Server_1", L"admin-old"}, {L"CtiServer1", L"admin-old"}, {L"RlvdevServer1", L"dev"}});
    observer.clear();

    // Both the value and the override came through the old name: overridden,
    // reported under the current name because no store holds that.
    manager->updateKey(L"VoicemailBackup1Server", false);
    // The current name is held by the user; its administrator value only by
    // the old name, which has no user value before it: not overridden.
    manager->updateKey(L"CTIPrimaryServer", false);
    // Current name asked, only the old name held, no user value.
    manager->updateKey(L"DeviceAuthenticationPrimaryServer", false);
    // An old name whose current name a store holds is not reported at all.
    manager->updateKey(L"CtiServer1", false);
    // An old name whose current name no store holds is reported under the current name.
    manager->updateKey(L"vvm_mailstore_server_1", true);

    std::vector<std::wstring> expected = {
        L"update VoicemailBackup1Server=user-old orig=admin-old overridden=1 defined=1 store=User origStore=Admin silent=0",
        L"update CTIPrimaryServer=user-new orig=admin-old overridden=0 defined=1 store=User origStore=Admin silent=0",
        L"update DeviceAuthenticationPrimaryServer=dev orig=dev overridden=0 defined=1 store=Admin origStore=Admin silent=0",
        L"update VoicemailBackup1Server=user-old orig=admin-old overridden=1 defined=1 store=User origStore=Admin silent=1",
    };
    EXPECT_EQ(expected, observer.events());
}

// ---- Adding and replacing stores ---------------------------------------------

TEST_F(ConfigStoreManagerTest, AddingStoreReportsEveryKeySilentlyThenFiresEach) {
    addStore("Admin", 500, readOnlyStore(), {{L"B", L"2"}, {L"A", L"1"}, {L"TftpServer1", L"t"}});

    std::vector<std::wstring> expected = {
        L"update A=1 orig=1 overridden=0 defined=1 store=Admin origStore=Admin silent=1",
        L"update B=2 orig=2 overridden=0 defined=1 store=Admin origStore=Admin silent=1",
        L"update TFTPPrimaryServer=t orig=t overridden=0 defined=1 store=Admin origStore=Admin silent=1",
        L"fire A",
        L"fire B",
        L"fire TFTPPrimaryServer",
    };
    EXPECT_EQ(expected, observer.events());

    // Once a store holds the current name, the old name is neither reported nor fired.
    addStore("Current", 600, readOnlyStore(), {{L"TFTPPrimaryServer", L"current"}});
    observer.clear();
    addStore("Legacy", 700, readOnlyStore(), {{L"C", L"3"}, {L"TftpServer1", L"old"}});
    expected = {L"update C=3 orig=3 overridden=0 defined=1 store=Legacy origStore=Legacy silent=1", L"fire C"};
    EXPECT_EQ(expected, observer.events());
}

TEST_F(ConfigStoreManagerTest, AddingStoreLogsTheStoreListWithoutDevOverride) {
    LogCapture capture;
    addStore("devOverrideConfigStore", 1, readOnlyStore());
    addStore("A", 20, readOnlyStore());
    addStore("B", 30, readOnlyStore());
    addStore("DEVOVERRIDECONFIGSTORE", 2, readOnlyStore());

    std::vector<std::string> storeMessages;
    for (const auto& record : capture.records()) {
        if (record.logger == "ConfigService-ConfigStoreManager" && record.level == 4 &&
            (record.message.find("store") != std::string::npos)) {
            storeMessages.push_back(record.message);
        }
    }
    std::vector<std::string> expected = {
        "adding new store: A, Config stores : [A(20)]",
        "adding new store: B, Config stores : [A(20)] [B(30)]",
    };
    EXPECT_EQ(expected, storeMessages);
    // The devOverride store is listed all the same, and was replaced.
    EXPECT_TRUE(manager->containsStore("devoverrideconfigstore"));
    EXPECT_EQ(2, manager->getConfigStoreByName("devOverrideConfigStore")->getPriority());
}

TEST_F(ConfigStoreManagerTest, ReplacingStoreOfSameNameInOtherCaseReReportsKeysOnlyTheOldStoreHad) {
    addStore("Mid", 50, readOnlyStore(), {{L"A", L"mid"}});
    addStore("TFTPConfigStore", 100, readOnlyStore(), {{L"A", L"old"}, {L"OnlyOld", L"o"}, {L"Shared", L"s1"}});
    EXPECT_EQ(L"mid", lookup(L"A"));
    observer.clear();

    LogCapture capture;
    auto replacement = addStore("tftpconfigstore", 10, readOnlyStore(), {{L"A", L"new"}, {L"Shared", L"s2"}});

    std::vector<std::wstring> expected = {
        L"update OnlyOld= orig= overridden=0 defined=0 store= origStore= silent=0",
        L"update A=new orig=new overridden=0 defined=1 store=tftpconfigstore origStore=tftpconfigstore silent=1",
        L"update Shared=s2 orig=s2 overridden=0 defined=1 store=tftpconfigstore origStore=tftpconfigstore silent=1",
        L"fire A",
        L"fire Shared",
    };
    EXPECT_EQ(expected, observer.events());

    // Sorted in by its own priority, ahead of Mid now.
    std::wstring storeName;
    EXPECT_EQ(L"new", lookup(L"A", &storeName));
    EXPECT_EQ(L"tftpconfigstore", storeName);
    EXPECT_EQ(replacement, manager->getConfigStoreByName("TFTPConfigStore"));
    EXPECT_TRUE(capture.contains("updating existing store: tftpconfigstore", 4));
    EXPECT_TRUE(capture.contains("adding new store: tftpconfigstore, Config stores : [tftpconfigstore(10)] [Mid(50)]", 4));
}

TEST_F(ConfigStoreManagerTest, ReplacingCacheableStoreDropsItsListedCachedCopy) {
    RecordingConfigStore::Options cacheable = readOnlyStore();
    cacheable.cacheable = true;
    addStore("PresenceConfigStore", 30, cacheable, {{L"P", L"live"}});
    addStore("cachedPresenceConfigStore.dat", 31, readOnlyStore(), {{L"P", L"cached"}});
    addStore("RegistryConfigStore", 40, readOnlyStore(), {{L"R", L"live"}});
    addStore("cachedRegistryConfigStore.dat", 41, readOnlyStore(), {{L"R", L"cached"}});

    // The new instance need not ask to be cached: the old one did.
    addStore("presenceconfigstore", 30, readOnlyStore(), {{L"P", L"fresh"}});
    addStore("RegistryConfigStore", 40, cacheable, {{L"R", L"fresh"}});

    EXPECT_FALSE(manager->containsStore("cachedPresenceConfigStore.dat"));
    EXPECT_TRUE(manager->containsStore("cachedRegistryConfigStore.dat"));
    EXPECT_EQ(L"fresh", lookup(L"P"));
}

TEST_F(ConfigStoreManagerTest, StoreListHelpersActOnEveryStoreInOrder) {
    auto first = addStore("First", 10, readOnlyStore());
    RecordingConfigStore::Options notReady = readOnlyStore();
    notReady.ready = false;
    auto second = addStore("Second", 20, notReady);
    auto third = addStore("Third", 30, readOnlyStore());

    EXPECT_FALSE(manager->waitForStoresReady());
    EXPECT_EQ(1, first->waitCount.load());
    EXPECT_EQ(1, second->waitCount.load());
    EXPECT_EQ(0, third->waitCount.load());  // the walk stops at the first store that is not ready

    manager->waitForStoreReady("THIRD");
    EXPECT_EQ(1, third->waitCount.load());
    manager->waitForStoreReady("Nobody");

    manager->destroy();
    EXPECT_EQ(1, first->destroyCount.load());
    EXPECT_EQ(1, second->destroyCount.load());
    EXPECT_EQ(1, third->destroyCount.load());

    EXPECT_TRUE(manager->containsStore("first"));
    EXPECT_FALSE(manager->containsStore("Fourth"));
    EXPECT_EQ(nullptr, manager->getConfigStoreByName("Fourth"));
    manager->addStore(nullptr);
    EXPECT_FALSE(manager->containsStore(""));
}

// ---- Writes ------------------------------------------------------------------

TEST_F(ConfigStoreManagerTest, WriteGoesToFirstWritableStorePastReadOnlyAndInMemoryStores) {
    addStore("Policy", 10, readOnlyStore());
    auto inMemory = addStore("InMemoryConfigStore", 15, writableStore());
    auto user = addStore("LocalFileConfigStore", 20, writableStore());
    auto second = addStore("Second", 30, writableStore());
    addStore("Admin", 500, readOnlyStore(), {{L"K", L"admin"}});
    observer.clear();

    {
        DispatcherGate gate(dispatcher);
        EXPECT_TRUE(manager->storeValue(L"K", L"user"));
        EXPECT_EQ(1u, dispatcher->pendingCount());
    }
    dispatcher->waitUntilIdle();

    std::wstring value;
    EXPECT_TRUE(user->getValue(L"K", value));
    EXPECT_EQ(L"user", value);
    EXPECT_FALSE(inMemory->getValue(L"K", value));
    EXPECT_FALSE(second->getValue(L"K", value));
    EXPECT_EQ(1, user->persistCount());
    EXPECT_EQ(0, inMemory->persistCount());
    EXPECT_EQ(0, second->persistCount());

    std::vector<std::wstring> expected = {
        L"update K=user orig=admin overridden=1 defined=1 store=LocalFileConfigStore origStore=Admin silent=0"};
    EXPECT_EQ(expected, observer.events());
}

TEST_F(ConfigStoreManagerTest, RejectedWriteReportsFalseButIsStillPersistedAndReported) {
    RecordingConfigStore::Options rejecting = writableStore();
    rejecting.rejectWrites = true;
    auto user = addStore("LocalFileConfigStore", 20, rejecting);
    addStore("Admin", 500, readOnlyStore(), {{L"K", L"admin"}});
    observer.clear();

    EXPECT_FALSE(manager->storeValue(L"K", L"user"));
    dispatcher->waitUntilIdle();
    EXPECT_EQ(1, user->persistCount());
    std::vector<std::wstring> expected = {
        L"update K=admin orig=admin overridden=0 defined=1 store=Admin origStore=Admin silent=0"};
    EXPECT_EQ(expected, observer.events());
}

TEST_F(ConfigStoreManagerTest, WriteWithoutWritableStoreFailsAndTellsNobody) {
    auto inMemory = addStore("inmemoryconfigstore", 600, writableStore());
    addStore("Admin", 500, readOnlyStore());
    observer.clear();

    EXPECT_FALSE(manager->storeValue(L"K", L"v"));
    EXPECT_FALSE(manager->storeValue(std::map<std::wstring, std::wstring>{{L"K", L"v"}}));
    dispatcher->waitUntilIdle();
    EXPECT_TRUE(observer.events().empty());
    EXPECT_EQ(0, inMemory->persistCount());
    std::wstring value;
    EXPECT_FALSE(inMemory->getValue(L"K", value));
}

TEST_F(ConfigStoreManagerTest, InMemoryWriteGoesToInMemoryStoreWithoutPersisting) {
    auto user = addStore("LocalFileConfigStore", 20, writableStore());
    auto inMemory = std::make_shared<InMemoryConfigStore>("InMemoryConfigStore", 600);
    manager->addStore(inMemory);
    observer.clear();

    {
        DispatcherGate gate(dispatcher);
        EXPECT_TRUE(manager->storeInMemoryValue(L"Session", L"s1"));
        EXPECT_EQ(0u, dispatcher->pendingCount());
    }
    std::wstring value;
    EXPECT_TRUE(inMemory->getValue(L"session", value));
    EXPECT_EQ(L"s1", value);
    EXPECT_FALSE(user->getValue(L"Session", value));
    std::vector<std::wstring> expected = {
        L"update Session=s1 orig= overridden=1 defined=1 store=InMemoryConfigStore origStore= silent=0"};
    EXPECT_EQ(expected, observer.events());

    ConfigStoreManager empty(factory);
    EXPECT_FALSE(empty.storeInMemoryValue(L"Session", L"s1"));
}

TEST_F(ConfigStoreManagerTest, BatchWriteGoesToEveryWritableStoreReportingAfterEachAndLogsEachRejectedKey) {
    RecordingConfigStore::Options rejecting = writableStore();
    rejecting.rejectWrites = true;
    auto stubborn = addStore("Stubborn", 15, rejecting);
    auto user = addStore("LocalFileConfigStore", 20, writableStore());
    auto inMemory = addStore("InMemoryConfigStore", 600, writableStore());
    addStore("Admin", 500, readOnlyStore(), {{L"X", L"admin"}});
    observer.clear();

    LogCapture capture;
    {
        DispatcherGate gate(dispatcher);
        EXPECT_TRUE(manager->storeValue(std::map<std::wstring, std::wstring>{{L"X", L"1"}, {L"Y", L"2"}}));
        EXPECT_EQ(2u, dispatcher->pendingCount());
    }
    dispatcher->waitUntilIdle();

    std::wstring value;
    EXPECT_TRUE(user->getValue(L"X", value));
    EXPECT_EQ(L"1", value);
    EXPECT_TRUE(user->getValue(L"Y", value));
    EXPECT_EQ(L"2", value);
    EXPECT_FALSE(inMemory->getValue(L"X", value));
    EXPECT_EQ(1, user->persistCount());
    EXPECT_EQ(1, stubborn->persistCount());
    EXPECT_EQ(0, inMemory->persistCount());
    EXPECT_EQ(1u, capture.count("Unable to store the value with key: X", 3));
    EXPECT_EQ(1u, capture.count("Unable to store the value with key: Y", 3));

    // Every entry is reported once the store in turn has been written: first
    // after the rejecting store, then after the user store.
    std::vector<std::wstring> expected = {
        L"update X=admin orig=admin overridden=0 defined=1 store=Admin origStore=Admin silent=0",
        L"update Y= orig= overridden=0 defined=0 store= origStore= silent=0",
        L"update X=1 orig=admin overridden=1 defined=1 store=LocalFileConfigStore origStore=Admin silent=0",
        L"update Y=2 orig= overridden=1 defined=1 store=LocalFileConfigStore origStore= silent=0",
    };
    EXPECT_EQ(expected, observer.events());
}

TEST_F(ConfigStoreManagerTest, EraseRemovesCurrentAndOldNamesFromEveryWritableStore) {
    auto user = addStore("LocalFileConfigStore", 20, writableStore(),
                         {{L"TftpServer1", L"old"}, {L"TFTPPrimaryServer", L"cur"}, {L"Other", L"o"}});
    auto inMemory = addStore("InMemoryConfigStore", 600, writableStore(), {{L"tftpprimaryserver", L"mem"}});
    auto admin = addStore("Admin", 500, readOnlyStore(), {{L"TFTPPrimaryServer", L"admin"}});
    observer.clear();

    {
        DispatcherGate gate(dispatcher);
        EXPECT_TRUE(manager->eraseKey(L"TFTPPrimaryServer"));
        // One persist task per successful removal: two in the user store, one in memory.
        EXPECT_EQ(3u, dispatcher->pendingCount());
    }
    dispatcher->waitUntilIdle();
    EXPECT_EQ(2, user->persistCount());
    EXPECT_EQ(1, inMemory->persistCount());
    EXPECT_EQ(0, admin->persistCount());

    std::wstring value;
    EXPECT_FALSE(user->getValue(L"TftpServer1", value));
    EXPECT_FALSE(user->getValue(L"TFTPPrimaryServer", value));
    EXPECT_TRUE(user->getValue(L"Other", value));
    EXPECT_FALSE(inMemory->getValue(L"TFTPPrimaryServer", value));
    EXPECT_TRUE(admin->getValue(L"TFTPPrimaryServer", value));

    std::vector<std::wstring> expected = {
        L"update TFTPPrimaryServer=admin orig=admin overridden=0 defined=1 store=Admin origStore=Admin silent=0"};
    EXPECT_EQ(expected, observer.events());

    // Erasing through the old name reaches the current name as well.
    user->with(L"CTIPrimaryServer", L"cti");
    EXPECT_TRUE(manager->eraseKey(L"ctiserver1"));
    EXPECT_FALSE(user->getValue(L"CTIPrimaryServer", value));

    observer.clear();
    {
        DispatcherGate gate(dispatcher);
        EXPECT_FALSE(manager->eraseKey(L"Absent"));
        EXPECT_EQ(0u, dispatcher->pendingCount());
    }
    EXPECT_TRUE(observer.events().empty());
}

TEST_F(ConfigStoreManagerTest, ResetOfUrlProvisioningFlagErasesItFromTheUserStore) {
    auto user = addStore("LocalFileConfigStore", 20, writableStore(), {{L"AllowUrlProvisioning", L"False"}});
    EXPECT_TRUE(manager->resetAllowUriProvisioningData());
    std::wstring value;
    EXPECT_FALSE(user->getValue(L"AllowUrlProvisioning", value));
    EXPECT_FALSE(manager->resetAllowUriProvisioningData());
}

TEST_F(ConfigStoreManagerTest, PersistRunsOnTaskThreadAfterTheWriteReturnedAndKeepsTheStoreAlive) {
    auto user = addStore("LocalFileConfigStore", 20, writableStore());
    std::shared_ptr<storemanagertest::PersistRecord> record = user->persistRecord();
    std::weak_ptr<RecordingConfigStore> weakUser = user;
    LogLevelScope debug(5);
    LogCapture capture;
    {
        DispatcherGate gate(dispatcher);
        EXPECT_TRUE(manager->storeValue(L"K", L"v"));
        EXPECT_EQ(0, user->persistCount());  // nothing ran inside the call

        // The store leaves the manager and the test drops it: the queued task still owns it.
        addStore("LocalFileConfigStore", 20, writableStore());
        user.reset();
        EXPECT_FALSE(weakUser.expired());
    }
    dispatcher->waitUntilIdle();

    EXPECT_EQ(1u, capture.count("runs ConfigStore::persistValues", 5));
    std::lock_guard<std::mutex> guard(record->lock);
    ASSERT_EQ(1, record->count);
    EXPECT_NE(std::this_thread::get_id(), record->threads[0]);
    EXPECT_TRUE(record->onDispatcherThread[0]);
}

// ---- Sensitive keys and debug logging ------------------------------------------

TEST_F(ConfigStoreManagerTest, SensitiveKeyIsReportedAndItsValueNeverLogged) {
    addStore("Admin", 500, readOnlyStore(),
             {{L"Secret", L"hunter2"}, {L"TFTPPrimaryServer", L"tftp.example"}, {L"CtiServer1", L"user@example.com"}});
    observer.clear();
    manager->setKeySensitive(L"Secret");
    EXPECT_EQ(std::vector<std::wstring>{L"sensitive Secret"}, observer.events());
    EXPECT_TRUE(manager->isKeySensitive(L"SECRET"));
    EXPECT_FALSE(manager->isKeySensitive(L"TFTPPrimaryServer"));

    LogLevelScope debug(5);
    LogCapture capture;
    EXPECT_EQ(L"hunter2", lookup(L"secret"));
    EXPECT_EQ(L"tftp.example", lookup(L"TftpServer1"));
    bool viaAlias = false;
    std::wstring storeName;
    std::wstring value;
    EXPECT_TRUE(manager->getValue(L"CTIPrimaryServer", value, storeName, viaAlias, true, ""));
    storeName.clear();
    EXPECT_FALSE(manager->getValue(L"Nowhere", value, storeName, viaAlias, false, ""));

    EXPECT_EQ(1u, capture.count(
                      "key : [secret] skipLocal : [0]  value: [VALUE_HIDDEN] success: [true] configStoreName: [Admin]", 5));
    EXPECT_EQ(1u, capture.count("key : [TftpServer1] is an alias. Key has been renamed. Actual lookup done on key "
                                "name: [TFTPPrimaryServer] - skipLocal : [0]  value: [tftp.example] success: [true] "
                                "configStoreName: [Admin]",
                                5));
    EXPECT_EQ(1u, capture.count("key : [CTIPrimaryServer] did not exist. actual lookup done on legacy key name : "
                                "[CtiServer1] - skipLocal : [1]  value: [",
                                5));
    EXPECT_EQ(1u, capture.count("key : [Nowhere] skipLocal : [0]  value: [] success: [false] configStoreName: []", 5));
    for (const auto& record : capture.records()) {
        EXPECT_EQ(std::string::npos, record.message.find("hunter2")) << record.message;
        EXPECT_EQ(std::string::npos, record.message.find("user@example.com")) << record.message;
    }
}

// ---- Store-added observers -------------------------------------------------------

TEST_F(ConfigStoreManagerTest, StoreAddedObserversAreToldOnTheTaskThreadAfterAddStoreReturned) {
    auto record = std::make_shared<StoreAddedRecord>();
    auto addedObserver = std::make_shared<RecordingStoreAddedObserver>(dispatcher, record);
    LogLevelScope debug(5);
    LogCapture capture;
    manager->registerConfigStoreAddedObserver(addedObserver);
    manager->registerConfigStoreAddedObserver(nullptr);
    EXPECT_EQ(1u, capture.count("ConfigStoreAddedObserver registered", 4));

    {
        DispatcherGate gate(dispatcher);
        addStore("First", 10, readOnlyStore());
        addStore("FIRST", 11, readOnlyStore());  // a replacement is announced once, too
        EXPECT_TRUE(record->snapshot().empty());
        // The queued tasks own the observer.
        addedObserver.reset();
    }
    dispatcher->waitUntilIdle();

    std::vector<StoreAddedCall> calls = record->snapshot();
    ASSERT_EQ(2u, calls.size());
    EXPECT_EQ("First", calls[0].name);
    EXPECT_EQ("FIRST", calls[1].name);
    EXPECT_TRUE(calls[0].onDispatcherThread);
    EXPECT_TRUE(calls[1].onDispatcherThread);
    EXPECT_EQ(2u, capture.count("runs ConfigStoreAddedObserver::OnConfigStoreAdded", 5));

    // The observer is gone now: later stores are announced to nobody.
    addStore("Second", 20, readOnlyStore());
    dispatcher->waitUntilIdle();
    EXPECT_EQ(2u, record->snapshot().size());
}

TEST_F(ConfigStoreManagerTest, StoreAddedObserverRegisteredTwiceIsToldTwiceUntilUnregistered) {
    auto record = std::make_shared<StoreAddedRecord>();
    auto addedObserver = std::make_shared<RecordingStoreAddedObserver>(dispatcher, record);
    auto stranger = std::make_shared<RecordingStoreAddedObserver>(dispatcher, record);
    manager->registerConfigStoreAddedObserver(addedObserver);
    manager->registerConfigStoreAddedObserver(addedObserver);

    addStore("First", 10, readOnlyStore());
    dispatcher->waitUntilIdle();
    EXPECT_EQ(2u, record->snapshot().size());

    LogCapture capture;
    manager->unregisterConfigStoreAddedObserver(addedObserver);
    manager->unregisterConfigStoreAddedObserver(addedObserver);
    manager->unregisterConfigStoreAddedObserver(stranger);
    manager->unregisterConfigStoreAddedObserver(nullptr);
    std::vector<std::pair<int, std::string>> expected = {
        {4, "ConfigStoreAddedObserver unregistered"},
        {3, "Attempt to unregister unknown ConfigStoreAddedObserver"},
        {3, "Attempt to unregister unknown ConfigStoreAddedObserver"},
        {3, "Attempt to unregister null ConfigStoreAddedObserver"},
    };
    std::vector<std::pair<int, std::string>> logged;
    for (const auto& record : capture.records()) {
        logged.emplace_back(record.level, record.message);
    }
    EXPECT_EQ(expected, logged);

    addStore("Second", 20, readOnlyStore());
    dispatcher->waitUntilIdle();
    EXPECT_EQ(2u, record->snapshot().size());
}

TEST_F(ConfigStoreManagerTest, RemovedObserverIsNoLongerTold) {
    manager->RemoveObserver(&observer);
    manager->AddObserver(nullptr);
    addStore("Admin", 500, readOnlyStore(), {{L"K", L"v"}});
    manager->setKeySensitive(L"K");
    EXPECT_TRUE(observer.events().empty());
}

// ---- Concurrency -----------------------------------------------------------------

namespace {

// Counts reports and, like the feature set, looks values up again from
// inside the callback.
class LookingObserver : public ZVFUnified::ConfigStoreManager_Observer {
public:
    explicit LookingObserver(ConfigStoreManager& manager) : manager(manager) {}
    void onFireIfRequired(std::wstring) override { fires.fetch_add(1); }
    void onSensitiveKeyAddedOrUpdated(std::wstring) override {}
    void onConfigAddedOrUpdated(std::wstring key, std::wstring, std::wstring, bool, bool, std::wstring, std::wstring,
                                bool) override {
        std::wstring value;
        manager.getValue(key, value, false);
        updates.fetch_add(1);
    }
    std::atomic<long> fires{0};
    std::atomic<long> updates{0};

private:
    ConfigStoreManager& manager;
};

}  // namespace

TEST_F(ConfigStoreManagerTest, ConcurrentStoreChangesLookupsAndWritesLoseNoWriteAndDoNotDeadlock) {
    auto user = std::make_shared<InMemoryConfigStore>("LocalFileConfigStore", 20);
    manager->addStore(user);
    manager->addStore(std::make_shared<InMemoryConfigStore>("InMemoryConfigStore", 600));
    LookingObserver looking(*manager);
    manager->AddObserver(&looking);
    manager->RemoveObserver(&observer);  // the recording observer would keep every line

    constexpr int kThreads = 4;
    constexpr int kWriterKeys = 50;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    std::atomic<long> lookups{0};
    std::atomic<long> replacements{0};
    std::vector<std::map<std::wstring, std::wstring>> lastWritten(kThreads);
    std::vector<std::thread> threads;

    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // Adds and replaces stores under names shared with the other adders,
            // in changing letter case and priority.
            long round = 0;
            while (std::chrono::steady_clock::now() < deadline) {
                std::string name = "Dyn" + std::to_string((t + round) % 6);
                if (round % 2) {
                    std::transform(name.begin(), name.end(), name.begin(), ::toupper);
                }
                auto store = std::make_shared<RecordingConfigStore>(name, 100 + static_cast<int>(round % 50),
                                                                    readOnlyStore(), dispatcher);
                store->with(L"Shared", L"v" + std::to_wstring(round));
                store->with(L"Key" + std::to_wstring(round % 20), L"x");
                store->with(L"TftpServer1", L"legacy");
                manager->addStore(store);
                replacements.fetch_add(1);
                ++round;
            }
        });
        threads.emplace_back([&, t] {
            // Looks up and writes its own keys; the last value of each must survive.
            long round = 0;
            std::wstring value;
            std::wstring storeName;
            while (std::chrono::steady_clock::now() < deadline) {
                bool viaAlias = false;
                manager->getValue(L"Shared", value, storeName, viaAlias, round % 2 == 0, "");
                manager->getValue(L"TFTPPrimaryServer", value, storeName, viaAlias, false, "");
                lookups.fetch_add(2);
                std::wstring key = L"W" + std::to_wstring(t) + L"_" + std::to_wstring(round % kWriterKeys);
                std::wstring written = std::to_wstring(round);
                if (manager->storeValue(key, written)) {
                    lastWritten[t][key] = written;
                }
                if (round % 7 == 0) {
                    manager->storeInMemoryValue(L"Mem" + std::to_wstring(t), written);
                }
                ++round;
            }
        });
    }

    // A deadlock would leave the threads running past their deadline for good.
    std::mutex doneLock;
    std::condition_variable doneChanged;
    int done = 0;
    std::vector<std::thread> joiners;
    for (auto& thread : threads) {
        joiners.emplace_back([&] {
            thread.join();
            std::lock_guard<std::mutex> guard(doneLock);
            ++done;
            doneChanged.notify_all();
        });
    }
    {
        std::unique_lock<std::mutex> guard(doneLock);
        if (!doneChanged.wait_for(guard, std::chrono::seconds(120), [&] { return done == 2 * kThreads; })) {
            ADD_FAILURE() << "store manager threads did not finish: deadlock";
            std::abort();
        }
    }
    for (auto& joiner : joiners) {
        joiner.join();
    }
    dispatcher->waitUntilIdle();

    EXPECT_GT(lookups.load(), 0);
    EXPECT_GT(replacements.load(), 0);
    EXPECT_GT(looking.updates.load(), 0);
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_FALSE(lastWritten[t].empty());
        for (const auto& entry : lastWritten[t]) {
            std::wstring value;
            std::wstring storeName;
            bool viaAlias = false;
            EXPECT_TRUE(manager->getValue(entry.first, value, storeName, viaAlias, false, ""));
            EXPECT_EQ(entry.second, value) << std::string(entry.first.begin(), entry.first.end());
            EXPECT_EQ(L"LocalFileConfigStore", storeName);
        }
    }
    // Every replaced name is listed exactly once.
    for (int n = 0; n < 6; ++n) {
        const std::string name = "dyn" + std::to_string(n);
        auto store = manager->getConfigStoreByName(name);
        ASSERT_NE(nullptr, store) << name;
        EXPECT_TRUE(manager->removeStoreOnDuplicateAdded(name));
        EXPECT_FALSE(manager->containsStore(name)) << name;
    }
    manager->RemoveObserver(&looking);
}

// ---- URL provisioning data -------------------------------------------------------

TEST_F(ConfigStoreManagerTest, UrlProvisioningKeepsOnlyPermittedPairsOfTheQuery) {
    ConfigMap out;
    EXPECT_TRUE(manager->parseUrlProvisioningData(L"nuvrix://provision?ServicesDomain=a.b&Foo=1", out));
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ(L"ServicesDomain", out.begin()->first);
    EXPECT_EQ(L"a.b", out.begin()->second);

    // Pieces without "=", with more than one "=", or with an empty name are
    // dropped; names and values are trimmed; nothing is percent-decoded.
    out.clear();
    EXPECT_TRUE(manager->parseUrlProvisioningData(
        L"x?Telephony_Enabled&sso_enabled=a=b&=true& IP_MODE = IPv4 &PRTCertificateName=a%20b&&", out));
    std::vector<std::pair<std::wstring, std::wstring>> entries(out.begin(), out.end());
    std::vector<std::pair<std::wstring, std::wstring>> expected = {{L"IP_MODE", L"IPv4"},
                                                                   {L"PRTCertificateName", L"a%20b"}};
    EXPECT_EQ(expected, entries);
}

TEST_F(ConfigStoreManagerTest, UrlProvisioningDuplicateKeepsFirstSpellingWithLastValue) {
    ConfigMap out;
    EXPECT_TRUE(manager->parseUrlProvisioningData(
        L"?servicesdomain=first&SERVICESDOMAIN=second&ServicesDomain=third&telemetryenabled=false", out));
    std::vector<std::pair<std::wstring, std::wstring>> entries(out.begin(), out.end());
    std::vector<std::pair<std::wstring, std::wstring>> expected = {{L"servicesdomain", L"third"},
                                                                   {L"telemetryenabled", L"false"}};
    EXPECT_EQ(expected, entries);
}

TEST_F(ConfigStoreManagerTest, UrlProvisioningRejectsDataWithoutQueryOrTooLong) {
    ConfigMap out;
    EXPECT_FALSE(manager->parseUrlProvisioningData(L"ServicesDomain=a.b", out));
    EXPECT_FALSE(manager->parseUrlProvisioningData(L"nuvrix://provision?", out));
    EXPECT_FALSE(manager->parseUrlProvisioningData(L"", out));
    EXPECT_FALSE(manager->parseUrlProvisioningData(L"?Foo=1&Bar=2&&=", out));
    EXPECT_TRUE(out.empty());

    // 999 characters are looked at, 1000 are not.
    std::wstring query = L"?ServicesDomain=";
    std::wstring at999 = query + std::wstring(999 - query.size(), L'a');
    EXPECT_TRUE(manager->parseUrlProvisioningData(at999, out));
    EXPECT_EQ(999u - query.size(), out[L"ServicesDomain"].size());
    out.clear();
    EXPECT_FALSE(manager->parseUrlProvisioningData(at999 + L"a", out));
    EXPECT_TRUE(out.empty());
}
