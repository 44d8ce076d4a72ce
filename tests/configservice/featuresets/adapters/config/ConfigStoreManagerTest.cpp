#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ConfigStoreAddedObserver.h"
#include "InMemoryConfigStore.h"
#include "MdmConfigStore.h"
#include "PTKCoreUtils/StringUtils.h"
#include "StoreManagerTest.h"

using namespace storemanagertest;
using nuvrixtest::DispatcherGate;
using nuvrixtest::LogLevelScope;
using ZVFUnified::ConfigMap;
using ZVFUnified::ConfigStoreManager;
using ZVFUnified::InMemoryConfigStore;
using Events = std::vector<std::wstring>;

namespace {

// Each announcement as "<store name>@task" when it ran on the task thread,
// "<store name>@other" otherwise.
struct StoreAddedRecord {
    std::mutex lock;
    std::vector<std::string> calls;
    std::vector<std::string> snapshot() {
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
        record->calls.push_back(storeName + (dispatcher->isDispatcherThread() ? "@task" : "@other"));
    }

private:
    std::shared_ptr<Processing::TaskDispatcher> dispatcher;
    std::shared_ptr<StoreAddedRecord> record;
};

}  // namespace

class ConfigStoreManagerTest : public StoreManagerTest {
protected:
    // getOriginalValue's answer: result is "overridden".
    Answer originalOf(const std::wstring& key) {
        Answer answer{false, L"stale", L"", true};
        answer.result = manager->getOriginalValue(key, answer.value, answer.store, answer.viaAlias);
        return answer;
    }

    std::wstring fromStore(const std::wstring& key, const std::string& storeName) {
        std::wstring value = L"stale";
        return manager->getValueFromStore(key, value, storeName) ? value : L"<missing:" + value + L">";
    }

    // Runs call with the task dispatcher held and returns how many tasks it
    // queued; they have run when this returns.
    template <class Call>
    std::size_t tasksQueuedBy(Call call) {
        std::size_t queued = 0;
        {
            DispatcherGate gate(*dispatcher);
            call();
            queued = dispatcher->pendingCount();
        }
        dispatcher->waitUntilIdle();
        return queued;
    }

    static std::vector<int> persistCounts(std::initializer_list<std::shared_ptr<RecordingConfigStore>> stores) {
        std::vector<int> counts;
        for (const auto& store : stores) {
            counts.push_back(store->persistCount());
        }
        return counts;
    }
};

// ---- Lookup ----------------------------------------------------------------

// Lower priority numbers answer first whatever the order of adding; skipLocal
// consults read-only stores only; a store filter only the named store.
TEST_F(ConfigStoreManagerTest, LookupWalksStoresByPriorityHonouringSkipLocalAndStoreFilter) {
    addStore("Admin", 500, readOnlyStore(), {{L"A", L"admin"}, {L"OnlyAdmin", L"x"}});
    addStore("LocalFileConfigStore", 20, writableStore(), {{L"A", L"user"}, {L"UserOnly", L"u"}});
    addStore("Second", 30, readOnlyStore(), {{L"K", L"second"}, {L"Other", L"o"}});
    addStore("First", 10, readOnlyStore(), {{L"K", L"first"}});
    EXPECT_EQ(hit(L"user", L"LocalFileConfigStore"), ask(L"A"));
    EXPECT_EQ(hit(L"x", L"Admin"), ask(L"onlyadmin"));
    EXPECT_EQ(kMiss, ask(L"Missing"));
    EXPECT_EQ(kMiss, ask(L"UserOnly", true));
    EXPECT_EQ(hit(L"admin", L"Admin"), ask(L"A", true));
    EXPECT_EQ(hit(L"second", L"Second"), ask(L"K", false, "SECOND"));
    EXPECT_EQ(L"second", fromStore(L"K", "second"));
    EXPECT_EQ(L"<missing:>", fromStore(L"Other", "First"));
    EXPECT_EQ(L"first", manager->getValueFromConfigStore("first", L"k"));
    EXPECT_EQ(L"", manager->getValueFromConfigStore("Missing", L"K"));
    std::wstring value;
    EXPECT_TRUE(manager->getValue(L"K", value, true));
    EXPECT_EQ(L"first", value);
}

TEST_F(ConfigStoreManagerTest, FipsModeForcesPeerToPeerOffOnEveryLookupResult) {
    addStore("Empty", 10, readOnlyStore(), {{L"Unrelated", L"u"}});
    // The test store applies no FIPS rule itself: what is seen here is the manager's.
    addStore("Admin", 500, readOnlyStore(), {{L"Telephony_P2P_Enabled", L"true"}, {L"Other", L"true"}});
    observer.clear();

    zvf::common::FipsUtils::setFipsOverrideForTesting(1);
    EXPECT_EQ(hit(L"false", L"Admin"), ask(L"telephony_p2p_ENABLED"));
    EXPECT_EQ(hit(L"true", L"Admin"), ask(L"Other"));
    // The rule applies after the walk, found or not.
    EXPECT_EQ(L"<missing:false>", fromStore(L"Telephony_P2P_Enabled", "Empty"));
    // Reports carry the rule's value too.
    manager->updateKey(L"Telephony_P2P_Enabled", false);
    EXPECT_EQ(Events{L"update Telephony_P2P_Enabled=false orig=true overridden=0 defined=1 store=Admin origStore=Admin "
                     L"silent=0"},
              observer.events());

    zvf::common::FipsUtils::setFipsOverrideForTesting(0);
    EXPECT_EQ(hit(L"true", L"Admin"), ask(L"Telephony_P2P_Enabled"));
}

// ---- Key aliases -----------------------------------------------------------

TEST_F(ConfigStoreManagerTest, EitherKeyNameFindsTheValueFlaggedOnlyWhenStoredUnderTheOtherName) {
    addStore("Admin", 500, readOnlyStore(), {{L"TftpServer1", L"legacy"}, {L"CTIPrimaryServer", L"cti"}});
    // Only the old name stored: either name finds it, flagged.
    EXPECT_EQ(hit(L"legacy", L"Admin", true), ask(L"TftpServer1"));
    EXPECT_EQ(hit(L"legacy", L"Admin", true), ask(L"TFTPPrimaryServer"));
    // Old name asked in any case, current name stored: no flag.
    EXPECT_EQ(hit(L"cti", L"Admin"), ask(L"ctiserver1"));

    // The flag is only ever set, never cleared.
    std::wstring value;
    std::wstring storeName;
    bool flag = true;
    EXPECT_TRUE(manager->getValue(L"CTIPrimaryServer", value, storeName, flag, false, ""));
    EXPECT_TRUE(flag);
}

TEST_F(ConfigStoreManagerTest, AliasTablesResolveBothDirectionsIgnoringCase) {
    // The other name, or "<none:...>" with what the call left in it.
    auto otherName = [](bool found, const std::wstring& name) { return found ? name : L"<none:" + name + L">"; };
    std::wstring name = L"stale";
    EXPECT_EQ(L"VoicemailPrimaryServer", otherName(manager->isKeyAlias(L"vvm_mailstore_server_0", name), name));
    EXPECT_EQ(L"VVM_Mailstore_Server_0", otherName(manager->hasKeyAlias(L"voicemailprimaryserver", name), name));
    EXPECT_EQ(L"<none:>", otherName(manager->isKeyAlias(L"VoicemailPrimaryServer", name), name));
    name = L"stale";
    EXPECT_EQ(L"<none:>", otherName(manager->hasKeyAlias(L"VVM_Mailstore_Server_0", name), name));

    ConfigMap aliases = manager->getAliasToConfigKeyRealNameMap();
    EXPECT_EQ(18u, aliases.size());
    EXPECT_EQ(L"DiscoveredPresenceServerType", aliases[L"PresenceServerType"]);
}

// ---- Original values and overrides -----------------------------------------

TEST_F(ConfigStoreManagerTest, OriginalValueIsTheFirstReadOnlyValueUnderEitherNameOverriddenOnlyByAnEarlierUserValue) {
    addStore("Early", 10, readOnlyStore(), {{L"EarlyAdmin", L"e"}});
    addStore("User", 20, writableStore(),
             {{L"K", L"user"}, {L"EarlyAdmin", L"user"}, {L"UserOnly", L"u"}, {L"TftpServer2", L"user-old"}});
    addStore("Admin", 500, readOnlyStore(),
             {{L"K", L"admin"}, {L"AdminOnly", L"a"}, {L"EarlyAdmin", L"late"}, {L"TftpServer2", L"admin-old"},
              {L"CtiServer2", L"cti-old"}});

    EXPECT_EQ((Answer{true, L"admin", L"Admin", false}), originalOf(L"k"));
    EXPECT_EQ((Answer{false, L"a", L"Admin", false}), originalOf(L"AdminOnly"));
    EXPECT_EQ((Answer{false, L"e", L"Early", false}), originalOf(L"EarlyAdmin"));
    EXPECT_EQ((Answer{true, L"", L"", false}), originalOf(L"UserOnly"));
    // Old name asked; nothing under the current name, so the old name decides.
    EXPECT_EQ((Answer{true, L"admin-old", L"Admin", true}), originalOf(L"TftpServer2"));
    // Current name asked; no read-only store has it, so the old name decides.
    EXPECT_EQ((Answer{true, L"admin-old", L"Admin", true}), originalOf(L"TFTPBackupServer1"));
    // Without a user value the fallback reports no override, and no flag.
    EXPECT_EQ((Answer{false, L"cti-old", L"Admin", false}), originalOf(L"CTIBackupServer"));
}

TEST_F(ConfigStoreManagerTest, UserValueOverridesAdministratorValueInReports) {
    addStore("Admin", 500, readOnlyStore(), {{L"K", L"admin"}});
    addStore("LocalFileConfigStore", 20, writableStore());
    observer.clear();

    EXPECT_TRUE(manager->storeValue(L"K", L"user"));
    EXPECT_EQ(Events{L"update K=user orig=admin overridden=1 defined=1 store=LocalFileConfigStore origStore=Admin "
                     L"silent=0"},
              observer.take());

    // An administrator store ahead of the user store wins and nothing is overridden.
    addStore("Policy", 10, readOnlyStore(), {{L"K", L"policy"}});
    EXPECT_EQ((Events{L"update K=policy orig=policy overridden=0 defined=1 store=Policy origStore=Policy silent=1",
                      L"fire K"}),
              observer.events());
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

    EXPECT_EQ((Events{
                  L"update VoicemailBackup1Server=user-old orig=admin-old overridden=1 defined=1 store=User origStore=Admin silent=0",
                  L"update CTIPrimaryServer=user-new orig=admin-old overridden=0 defined=1 store=User origStore=Admin silent=0",
                  L"update DeviceAuthenticationPrimaryServer=dev orig=dev overridden=0 defined=1 store=Admin origStore=Admin silent=0",
                  L"update VoicemailBackup1Server=user-old orig=admin-old overridden=1 defined=1 store=User origStore=Admin silent=1",
              }),
              observer.events());
}

// ---- Adding and replacing stores ---------------------------------------------

TEST_F(ConfigStoreManagerTest, AddingStoreReportsEveryKeySilentlyThenFiresEach) {
    addStore("Admin", 500, readOnlyStore(), {{L"B", L"2"}, {L"A", L"1"}, {L"TftpServer1", L"t"}});
    EXPECT_EQ((Events{
                  L"update A=1 orig=1 overridden=0 defined=1 store=Admin origStore=Admin silent=1",
                  L"update B=2 orig=2 overridden=0 defined=1 store=Admin origStore=Admin silent=1",
                  L"update TFTPPrimaryServer=t orig=t overridden=0 defined=1 store=Admin origStore=Admin silent=1",
                  L"fire A",
                  L"fire B",
                  L"fire TFTPPrimaryServer",
              }),
              observer.events());

    // Once a store holds the current name, the old name is neither reported nor fired.
    addStore("Current", 600, readOnlyStore(), {{L"TFTPPrimaryServer", L"current"}});
    observer.clear();
    addStore("Legacy", 700, readOnlyStore(), {{L"C", L"3"}, {L"TftpServer1", L"old"}});
    EXPECT_EQ((Events{L"update C=3 orig=3 overridden=0 defined=1 store=Legacy origStore=Legacy silent=1", L"fire C"}),
              observer.events());
}

TEST_F(ConfigStoreManagerTest, AddingStoreLogsTheStoreListWithoutDevOverride) {
    LogCapture capture;
    addStore("devOverrideConfigStore", 1, readOnlyStore());
    addStore("A", 20, readOnlyStore());
    addStore("B", 30, readOnlyStore());
    addStore("DEVOVERRIDECONFIGSTORE", 2, readOnlyStore());

    std::vector<std::pair<int, std::string>> storeMessages = loggedBy(capture, "ConfigService-ConfigStoreManager");
    storeMessages.erase(std::remove_if(storeMessages.begin(), storeMessages.end(),
                                       [](const auto& entry) {
                                           return entry.first != 4 || entry.second.find("store") == std::string::npos;
                                       }),
                        storeMessages.end());
    EXPECT_EQ((std::vector<std::pair<int, std::string>>{{4, "adding new store: A, Config stores : [A(20)]"},
                                                        {4, "adding new store: B, Config stores : [A(20)] [B(30)]"}}),
              storeMessages);
    // The devOverride store is listed all the same, and was replaced.
    EXPECT_TRUE(manager->containsStore("devoverrideconfigstore"));
    EXPECT_EQ(2, manager->getConfigStoreByName("devOverrideConfigStore")->getPriority());
}

TEST_F(ConfigStoreManagerTest, ReplacingStoreOfSameNameInOtherCaseReReportsKeysOnlyTheOldStoreHad) {
    addStore("Mid", 50, readOnlyStore(), {{L"A", L"mid"}});
    addStore("TFTPConfigStore", 100, readOnlyStore(), {{L"A", L"old"}, {L"OnlyOld", L"o"}, {L"Shared", L"s1"}});
    EXPECT_EQ(hit(L"mid", L"Mid"), ask(L"A"));
    observer.clear();

    LogCapture capture;
    auto replacement = addStore("tftpconfigstore", 10, readOnlyStore(), {{L"A", L"new"}, {L"Shared", L"s2"}});
    EXPECT_EQ((Events{
                  L"update OnlyOld= orig= overridden=0 defined=0 store= origStore= silent=0",
                  L"update A=new orig=new overridden=0 defined=1 store=tftpconfigstore origStore=tftpconfigstore silent=1",
                  L"update Shared=s2 orig=s2 overridden=0 defined=1 store=tftpconfigstore origStore=tftpconfigstore silent=1",
                  L"fire A",
                  L"fire Shared",
              }),
              observer.events());

    // Sorted in by its own priority, ahead of Mid now.
    EXPECT_EQ(hit(L"new", L"tftpconfigstore"), ask(L"A"));
    EXPECT_EQ(replacement, manager->getConfigStoreByName("TFTPConfigStore"));
    EXPECT_TRUE(capture.contains("updating existing store: tftpconfigstore", 4));
    EXPECT_TRUE(capture.contains("adding new store: tftpconfigstore, Config stores : [tftpconfigstore(10)] [Mid(50)]", 4));
}

TEST_F(ConfigStoreManagerTest, ReplacingCacheableStoreDropsItsListedCachedCopy) {
    addStore("PresenceConfigStore", 30, cacheableStore(), {{L"P", L"live"}});
    addStore("cachedPresenceConfigStore.dat", 31, readOnlyStore(), {{L"P", L"cached"}});
    addStore("RegistryConfigStore", 40, readOnlyStore(), {{L"R", L"live"}});
    addStore("cachedRegistryConfigStore.dat", 41, readOnlyStore(), {{L"R", L"cached"}});

    // The new instance need not ask to be cached: the old one did.
    addStore("presenceconfigstore", 30, readOnlyStore(), {{L"P", L"fresh"}});
    addStore("RegistryConfigStore", 40, cacheableStore(), {{L"R", L"fresh"}});

    EXPECT_FALSE(manager->containsStore("cachedPresenceConfigStore.dat"));
    EXPECT_TRUE(manager->containsStore("cachedRegistryConfigStore.dat"));
    EXPECT_EQ(hit(L"fresh", L"presenceconfigstore"), ask(L"P"));
}

TEST_F(ConfigStoreManagerTest, StoreListHelpersActOnEveryStoreInOrder) {
    RecordingConfigStore::Options notReady = readOnlyStore();
    notReady.ready = false;
    std::vector<std::shared_ptr<RecordingConfigStore>> stores = {
        addStore("First", 10, readOnlyStore()), addStore("Second", 20, notReady), addStore("Third", 30, readOnlyStore())};
    auto counts = [&](std::atomic<int> RecordingConfigStore::*counter) {
        std::vector<int> out;
        for (const auto& store : stores) {
            out.push_back((*store.*counter).load());
        }
        return out;
    };

    // The walk stops at the first store that is not ready.
    EXPECT_FALSE(manager->waitForStoresReady());
    EXPECT_EQ((std::vector<int>{1, 1, 0}), counts(&RecordingConfigStore::waitCount));
    manager->waitForStoreReady("THIRD");
    manager->waitForStoreReady("Nobody");
    EXPECT_EQ((std::vector<int>{1, 1, 1}), counts(&RecordingConfigStore::waitCount));

    manager->destroy();
    EXPECT_EQ((std::vector<int>{1, 1, 1}), counts(&RecordingConfigStore::destroyCount));

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
    EXPECT_EQ(1u, tasksQueuedBy([&] { EXPECT_TRUE(manager->storeValue(L"K", L"user")); }));

    EXPECT_EQ((Events{L"K=user", L"", L""}), (Events{contentOf(*user), contentOf(*inMemory), contentOf(*second)}));
    EXPECT_EQ((std::vector<int>{1, 0, 0}), persistCounts({user, inMemory, second}));
    EXPECT_EQ(Events{L"update K=user orig=admin overridden=1 defined=1 store=LocalFileConfigStore origStore=Admin "
                     L"silent=0"},
              observer.events());
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
    EXPECT_EQ(Events{L"update K=admin orig=admin overridden=0 defined=1 store=Admin origStore=Admin silent=0"},
              observer.events());
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
    EXPECT_EQ(L"", contentOf(*inMemory));
}

TEST_F(ConfigStoreManagerTest, InMemoryWriteGoesToInMemoryStoreWithoutPersisting) {
    auto user = addStore("LocalFileConfigStore", 20, writableStore());
    auto inMemory = std::make_shared<InMemoryConfigStore>("InMemoryConfigStore", 600);
    manager->addStore(inMemory);
    observer.clear();
    EXPECT_EQ(0u, tasksQueuedBy([&] { EXPECT_TRUE(manager->storeInMemoryValue(L"Session", L"s1")); }));
    EXPECT_EQ(L"s1", valueOf(*inMemory, L"session"));
    EXPECT_EQ(L"", contentOf(*user));
    EXPECT_EQ(Events{L"update Session=s1 orig= overridden=1 defined=1 store=InMemoryConfigStore origStore= silent=0"},
              observer.events());

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
    EXPECT_EQ(2u, tasksQueuedBy([&] {
                  EXPECT_TRUE(manager->storeValue(std::map<std::wstring, std::wstring>{{L"X", L"1"}, {L"Y", L"2"}}));
              }));

    EXPECT_EQ((Events{L"X=1 Y=2", L""}), (Events{contentOf(*user), contentOf(*inMemory)}));
    EXPECT_EQ((std::vector<int>{1, 1, 0}), persistCounts({user, stubborn, inMemory}));
    EXPECT_EQ(1u, capture.count("Unable to store the value with key: X", 3));
    EXPECT_EQ(1u, capture.count("Unable to store the value with key: Y", 3));

    // Every entry is reported once the store in turn has been written: first
    // after the rejecting store, then after the user store.
    EXPECT_EQ((Events{
                  L"update X=admin orig=admin overridden=0 defined=1 store=Admin origStore=Admin silent=0",
                  L"update Y= orig= overridden=0 defined=0 store= origStore= silent=0",
                  L"update X=1 orig=admin overridden=1 defined=1 store=LocalFileConfigStore origStore=Admin silent=0",
                  L"update Y=2 orig= overridden=1 defined=1 store=LocalFileConfigStore origStore= silent=0",
              }),
              observer.events());
}

TEST_F(ConfigStoreManagerTest, EraseRemovesCurrentAndOldNamesFromEveryWritableStore) {
    auto user = addStore("LocalFileConfigStore", 20, writableStore(),
                         {{L"TftpServer1", L"old"}, {L"TFTPPrimaryServer", L"cur"}, {L"Other", L"o"}});
    auto inMemory = addStore("InMemoryConfigStore", 600, writableStore(), {{L"tftpprimaryserver", L"mem"}});
    auto admin = addStore("Admin", 500, readOnlyStore(), {{L"TFTPPrimaryServer", L"admin"}});
    observer.clear();
    // One persist task per successful removal: two in the user store, one in memory.
    EXPECT_EQ(3u, tasksQueuedBy([&] { EXPECT_TRUE(manager->eraseKey(L"TFTPPrimaryServer")); }));
    EXPECT_EQ((std::vector<int>{2, 1, 0}), persistCounts({user, inMemory, admin}));
    EXPECT_EQ((Events{L"Other=o", L"", L"TFTPPrimaryServer=admin"}),
              (Events{contentOf(*user), contentOf(*inMemory), contentOf(*admin)}));
    EXPECT_EQ(Events{L"update TFTPPrimaryServer=admin orig=admin overridden=0 defined=1 store=Admin origStore=Admin "
                     L"silent=0"},
              observer.take());

    // Erasing through the old name reaches the current name as well.
    user->with(L"CTIPrimaryServer", L"cti");
    EXPECT_TRUE(manager->eraseKey(L"ctiserver1"));
    EXPECT_EQ(L"Other=o", contentOf(*user));

    observer.clear();
    EXPECT_EQ(0u, tasksQueuedBy([&] { EXPECT_FALSE(manager->eraseKey(L"Absent")); }));
    EXPECT_TRUE(observer.events().empty());

    // Resetting the URL-provisioning mark erases it the same way.
    user->with(L"AllowUrlProvisioning", L"False");
    EXPECT_TRUE(manager->resetAllowUriProvisioningData());
    EXPECT_EQ(L"Other=o", contentOf(*user));
    EXPECT_FALSE(manager->resetAllowUriProvisioningData());
}

TEST_F(ConfigStoreManagerTest, PersistRunsOnTaskThreadAfterTheWriteReturnedAndKeepsTheStoreAlive) {
    auto user = addStore("LocalFileConfigStore", 20, writableStore());
    std::shared_ptr<PersistRecord> record = user->persistRecord();
    std::weak_ptr<RecordingConfigStore> weakUser = user;
    LogLevelScope debug(5);
    LogCapture capture;
    {
        DispatcherGate gate(*dispatcher);
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
    EXPECT_EQ(std::vector<bool>{true}, record->onDispatcherThread);
}

// ---- Sensitive keys and debug logging ------------------------------------------

TEST_F(ConfigStoreManagerTest, SensitiveKeyIsReportedAndItsValueNeverLogged) {
    addStore("Admin", 500, readOnlyStore(),
             {{L"Secret", L"hunter2"}, {L"TFTPPrimaryServer", L"tftp.example"}, {L"CtiServer1", L"user@example.com"}});
    observer.clear();
    manager->setKeySensitive(L"Secret");
    EXPECT_EQ(Events{L"sensitive Secret"}, observer.events());
    EXPECT_TRUE(manager->isKeySensitive(L"SECRET"));
    EXPECT_FALSE(manager->isKeySensitive(L"TFTPPrimaryServer"));

    LogLevelScope debug(5);
    LogCapture capture;
    EXPECT_EQ(hit(L"hunter2", L"Admin"), ask(L"secret"));
    EXPECT_EQ(hit(L"tftp.example", L"Admin"), ask(L"TftpServer1"));
    EXPECT_EQ(hit(L"user@example.com", L"Admin", true), ask(L"CTIPrimaryServer", true));
    std::wstring value;
    std::wstring storeName;
    bool viaAlias = false;
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

TEST_F(ConfigStoreManagerTest, SensitivityHoldsUnderEitherNameAndForKeysADeviceManagementDocumentMarks) {
    addStore("Admin", 500, readOnlyStore(), {{L"TFTPPrimaryServer", L"tftp-secret"}, {L"CtiServer1", L"cti-secret"}});
    manager->setKeySensitive(L"TftpServer1");       // an old name
    manager->setKeySensitive(L"CTIPrimaryServer");  // a current name
    observer.clear();
    manager->addStore(std::make_shared<ZVFUnified::MdmConfigStore>(
        "<r><g><Token sensitive=\"true\">mdm-secret</Token><Plain>p</Plain></g></r>"));
    ASSERT_FALSE(observer.events().empty());
    EXPECT_EQ(L"sensitive token", observer.events().front());
    for (const wchar_t* key : {L"TFTPPrimaryServer", L"tftpserver1", L"CtiServer1", L"ctiprimaryserver", L"TOKEN"}) {
        EXPECT_TRUE(manager->isKeySensitive(key)) << key;
    }
    EXPECT_FALSE(manager->isKeySensitive(L"Plain"));

    LogLevelScope debug(5);
    LogCapture capture;
    for (const wchar_t* key : {L"TftpServer1", L"TFTPPrimaryServer", L"CtiServer1", L"CTIPrimaryServer", L"token"}) {
        EXPECT_TRUE(ask(key).result) << key;
    }
    std::wstring report;
    manager->getConfigForPRTFromMemory(report);
    EXPECT_NE(std::wstring::npos, report.find(L"<plain>p</plain>"));
    for (const char* secret : {"tftp-secret", "cti-secret", "mdm-secret"}) {
        EXPECT_EQ(std::wstring::npos, report.find(PTKCoreUtils::toWideString(secret))) << secret;
        EXPECT_FALSE(capture.contains(secret)) << secret;
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
        DispatcherGate gate(*dispatcher);
        addStore("First", 10, readOnlyStore());
        addStore("FIRST", 11, readOnlyStore());  // a replacement is announced once, too
        EXPECT_TRUE(record->snapshot().empty());
        // The queued tasks own the observer.
        addedObserver.reset();
    }
    dispatcher->waitUntilIdle();
    EXPECT_EQ((std::vector<std::string>{"First@task", "FIRST@task"}), record->snapshot());
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
    EXPECT_EQ((std::vector<std::pair<int, std::string>>{
                  {4, "ConfigStoreAddedObserver unregistered"},
                  {3, "Attempt to unregister unknown ConfigStoreAddedObserver"},
                  {3, "Attempt to unregister unknown ConfigStoreAddedObserver"},
                  {3, "Attempt to unregister null ConfigStoreAddedObserver"},
              }),
              loggedBy(capture, "ConfigService-ConfigStoreManager"));

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
    void onFireIfRequired(std::wstring) override {}
    void onSensitiveKeyAddedOrUpdated(std::wstring) override {}
    void onConfigAddedOrUpdated(std::wstring key, std::wstring, std::wstring, bool, bool, std::wstring, std::wstring,
                                bool) override {
        std::wstring value;
        manager.getValue(key, value, false);
        updates.fetch_add(1);
    }
    std::atomic<long> updates{0};

private:
    ConfigStoreManager& manager;
};

}  // namespace

TEST_F(ConfigStoreManagerTest, ConcurrentStoreChangesLookupsAndWritesLoseNoWriteAndDoNotDeadlock) {
    manager->addStore(std::make_shared<InMemoryConfigStore>("LocalFileConfigStore", 20));
    manager->addStore(std::make_shared<InMemoryConfigStore>("InMemoryConfigStore", 600));
    LookingObserver looking(*manager);
    manager->AddObserver(&looking);
    manager->RemoveObserver(&observer);  // the recording observer would keep every line

    constexpr int kThreads = 4;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    std::atomic<long> lookups{0};
    std::atomic<long> replacements{0};
    std::vector<std::map<std::wstring, std::wstring>> lastWritten(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // Adds and replaces stores under names shared with the other adders,
            // in changing letter case and priority.
            for (long round = 0; std::chrono::steady_clock::now() < deadline; ++round) {
                std::string name = "Dyn" + std::to_string((t + round) % 6);
                if (round % 2) {
                    std::transform(name.begin(), name.end(), name.begin(), ::toupper);
                }
                manager->addStore(std::make_shared<RecordingConfigStore>(
                    name, 100 + static_cast<int>(round % 50), readOnlyStore(),
                    ConfigMap{{L"Shared", L"v" + std::to_wstring(round)},
                              {L"Key" + std::to_wstring(round % 20), L"x"},
                              {L"TftpServer1", L"legacy"}},
                    dispatcher));
                replacements.fetch_add(1);
            }
        });
        threads.emplace_back([&, t] {
            // Looks up and writes its own keys; the last value of each must survive.
            std::wstring value;
            std::wstring storeName;
            for (long round = 0; std::chrono::steady_clock::now() < deadline; ++round) {
                bool viaAlias = false;
                manager->getValue(L"Shared", value, storeName, viaAlias, round % 2 == 0, "");
                manager->getValue(L"TFTPPrimaryServer", value, storeName, viaAlias, false, "");
                lookups.fetch_add(2);
                std::wstring key = L"W" + std::to_wstring(t) + L"_" + std::to_wstring(round % 50);
                if (manager->storeValue(key, std::to_wstring(round))) {
                    lastWritten[t][key] = std::to_wstring(round);
                }
                if (round % 7 == 0) {
                    manager->storeInMemoryValue(L"Mem" + std::to_wstring(t), std::to_wstring(round));
                }
            }
        });
    }

    // A deadlock would leave the threads running past their deadline for good.
    std::promise<void> joined;
    std::thread watchdog([finished = joined.get_future()] {
        if (finished.wait_for(std::chrono::seconds(120)) != std::future_status::ready) {
            ADD_FAILURE() << "store manager threads did not finish: deadlock";
            std::abort();
        }
    });
    for (auto& thread : threads) {
        thread.join();
    }
    joined.set_value();
    watchdog.join();
    dispatcher->waitUntilIdle();

    EXPECT_GT(lookups.load(), 0);
    EXPECT_GT(replacements.load(), 0);
    EXPECT_GT(looking.updates.load(), 0);
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_FALSE(lastWritten[t].empty());
        for (const auto& entry : lastWritten[t]) {
            EXPECT_EQ(hit(entry.second, L"LocalFileConfigStore"), ask(entry.first));
        }
    }
    // Every replaced name is listed exactly once.
    for (int n = 0; n < 6; ++n) {
        const std::string name = "dyn" + std::to_string(n);
        ASSERT_NE(nullptr, manager->getConfigStoreByName(name)) << name;
        EXPECT_TRUE(manager->removeStoreOnDuplicateAdded(name));
        EXPECT_FALSE(manager->containsStore(name)) << name;
    }
    manager->RemoveObserver(&looking);
}
