// Config value objects on the real services thread of the host.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../support/RecordingConfigFeatureSet.h"
#include "../support/RecordingObservers.h"
#include "ConfigFeatureSet.h"
#include "ConfigValueImpl.h"
#include "ConfigValueNotifiers.h"
#include "HostTest.h"
#include "PropertyNotifier.h"
#include "zvf/common/FipsUtils.h"

using ZVFUnified::ConfigFeatureSet;
using ZVFUnified::ConfigValueImpl;
using ZVFUnified::ConfigValueObserver;
using nuvrixtest::RecordingConfigFeatureSet;
using nuvrixtest::RecordingConfigValueObserver;

namespace {

using Events = std::vector<std::string>;

class ConfigValueImplTest : public nuvrixtest::HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        zvf::common::FipsUtils::setFipsOverrideForTesting(0);
    }
    void TearDown() override {
        onServicesThread([this]() {
            observer.reset();
            value.reset();
        });
        zvf::common::FipsUtils::setFipsOverrideForTesting(-1);
        HostTest::TearDown();
    }

    // A defined value, by default "on" from "User" over the administrator's
    // "off" from "Admin", overridden; observed by a recording observer and,
    // on the Value and isDefined notifiers, by connected functions. Runs on
    // the services thread.
    void makeObservedValue(const std::wstring& key = L"Feature", const std::wstring& stored = L"on",
                           const std::wstring& original = L"off", bool overridden = true,
                           const std::wstring& store = L"User", const std::wstring& originalStore = L"Admin") {
        value = std::make_shared<ConfigValueImpl>(factory, key, stored, original, overridden, store, originalStore);
        auto notifiers = value->getConfigValueNotifiers();
        notifiers->getValueNotifier()->connect([this]() { log->push_back("fn:Value"); });
        notifiers->getisDefinedNotifier()->connect([this]() { log->push_back("fn:isDefined"); });
        observer = std::make_shared<RecordingConfigValueObserver>("obs", log);
        value->addObserver(std::weak_ptr<ConfigValueObserver>(observer));
    }

    std::shared_ptr<ConfigValueImpl> value;
    std::shared_ptr<RecordingConfigValueObserver> observer;
    std::shared_ptr<Events> log = std::make_shared<Events>();
};

TEST_F(ConfigValueImplTest, EachPropertyFiresOnlyWhenItChangesAndInPropertyOrder) {
    struct Case {
        std::wstring value, originalValue;
        bool isOverridden, isDefined;
        std::wstring valueStoreName, originalValueStoreName;
        Events expected;
    };
    // Each report changes one part of the state left by the previous one.
    const std::vector<Case> cases = {
        {L"new", L"off", true, true, L"User", L"Admin", {"fn:Value", "obs:Value"}},
        {L"new", L"admin2", true, true, L"User", L"Admin", {"obs:OriginalValue"}},
        {L"new", L"admin2", false, true, L"User", L"Admin", {"obs:isOverridden"}},
        {L"new", L"admin2", false, false, L"User", L"Admin", {"fn:isDefined", "obs:isDefined"}},
        {L"new", L"admin2", false, false, L"Other", L"Admin", {"obs:ValueStoreName"}},
        {L"new", L"admin2", false, false, L"Other", L"Admin2", {"obs:OriginalValueStoreName"}},
        {L"new", L"admin2", false, false, L"Other", L"Admin2", {}},
        {L"a", L"b", true, true, L"S1", L"S2",
         {"fn:Value", "obs:Value", "obs:OriginalValue", "obs:isOverridden", "fn:isDefined", "obs:isDefined",
          "obs:ValueStoreName", "obs:OriginalValueStoreName"}},
        {L"a", L"b", true, true, L"s1", L"S2", {"obs:ValueStoreName"}},  // store names compare with letter case
    };
    onServicesThread([this]() {
        makeObservedValue();
        // A change of letter case only is neither stored nor fired.
        value->update(L"ON", L"OFF", true, true, L"User", L"Admin");
        EXPECT_EQ(L"on", value->getValue());
        EXPECT_EQ(L"off", value->getOriginalValue());
    });
    EXPECT_TRUE(log->empty());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        const Case& c = cases[i];
        log->clear();
        onServicesThread([this, &c]() {
            value->update(c.value, c.originalValue, c.isOverridden, c.isDefined, c.valueStoreName,
                          c.originalValueStoreName);
        });
        EXPECT_EQ(c.expected, *log);
    }
    onServicesThread([this]() {
        EXPECT_EQ((std::vector<std::wstring>{L"a", L"b", L"s1", L"S2"}),
                  (std::vector<std::wstring>{value->getValue(), value->getOriginalValue(), value->getValueStoreName(),
                                             value->getOriginalValueStoreName()}));
        EXPECT_TRUE(value->getisOverridden() && value->getisDefined());
    });
}

TEST_F(ConfigValueImplTest, TwoSilentUpdatesThenOneFireFireEachChangedPropertyOnceEvenIfRestored) {
    onServicesThread([this]() {
        makeObservedValue();
        value->silentUpdate(L"first", L"off", true, false, L"User", L"Admin");
        value->silentUpdate(L"second", L"off", true, true, L"User", L"Admin");  // isDefined restored
        EXPECT_EQ(L"second", value->getValue());
        EXPECT_TRUE(value->getisDefined());
        EXPECT_TRUE(log->empty());

        value->fireRequired();
        value->fireRequired();  // the flags were cleared by the first

        // initialize clears pending flags without firing.
        value->silentUpdate(L"pending", L"off", true, true, L"User", L"Admin");
        value->initialize(L"Feature", L"fresh", L"", false, true, L"S", L"");
        EXPECT_EQ(L"fresh", value->getValue());
        value->fireRequired();
    });
    EXPECT_EQ((Events{"fn:Value", "obs:Value", "fn:isDefined", "obs:isDefined"}), *log);
}

TEST_F(ConfigValueImplTest, ChangeReportedWhileItsPropertyFiresIsClearedWithThatFire) {
    auto reentered = std::make_shared<bool>(false);
    onServicesThread([this, reentered]() {
        makeObservedValue();
        // A report arriving from inside the Value fire: Value again, and OriginalValue.
        value->getConfigValueNotifiers()->getValueNotifier()->connect([this, reentered]() {
            if (!*reentered) {
                *reentered = true;
                value->silentUpdate(L"third", L"admin2", true, true, L"User", L"Admin");
            }
        });
        value->silentUpdate(L"second", L"off", true, true, L"User", L"Admin");
        value->fireRequired();
        EXPECT_EQ(L"third", value->getValue());
        log->push_back("--");
        value->fireRequired();
    });
    // The Value flag set again during the Value fire is cleared after it; the
    // OriginalValue flag, still to come, fires in the same pass.
    EXPECT_EQ((Events{"fn:Value", "obs:Value", "obs:OriginalValue", "--"}), *log);
}

// isValueLocal compares texts and store names with letter case; equals ignores it.
TEST_F(ConfigValueImplTest, ValueIsLocalWhenTextsOrStoresDifferAndEqualsIgnoresLetterCase) {
    onServicesThread([this]() {
        auto local = [this](const wchar_t* value, const wchar_t* original, const wchar_t* store,
                            const wchar_t* originalStore) {
            return ConfigValueImpl(factory, L"K", value, original, false, store, originalStore).isValueLocal();
        };
        EXPECT_TRUE(local(L"x", L"x", L"User", L"Admin"));    // same text, other store
        EXPECT_FALSE(local(L"x", L"x", L"Admin", L"Admin"));  // same text, same store
        EXPECT_TRUE(local(L"X", L"x", L"Admin", L"Admin"));   // text differing in letter case only
        EXPECT_TRUE(local(L"x", L"x", L"admin", L"Admin"));   // store differing in letter case only
        EXPECT_TRUE(local(L"x", L"y", L"Admin", L"Admin"));   // other text
        EXPECT_FALSE(ConfigValueImpl(factory, L"K").isValueLocal());  // undefined

        ConfigValueImpl flag(factory, L"K", L"true", L"", false, L"User", L"");
        EXPECT_TRUE(flag.equals(L"TRUE"));
        EXPECT_TRUE(flag.equals(L"true"));
        EXPECT_FALSE(flag.equals(L"false"));
        EXPECT_FALSE(flag.equals(L"true "));
    });
}

TEST_F(ConfigValueImplTest, PeerToPeerKeyReadsFalseInFipsModeInAnyLetterCaseAndStoredValueOtherwise) {
    zvf::common::FipsUtils::setFipsOverrideForTesting(1);
    onServicesThread([this]() {
        ConfigValueImpl exact(factory, L"Telephony_P2P_Enabled", L"true", L"true", false, L"A", L"A");
        ConfigValueImpl lower(factory, L"telephony_p2p_enabled", L"true", L"true", false, L"A", L"A");
        ConfigValueImpl other(factory, L"Telephony_Enabled", L"true", L"true", false, L"A", L"A");
        EXPECT_EQ(L"false", exact.getValue());
        EXPECT_EQ(L"false", lower.getValue());
        EXPECT_FALSE(lower.equals(L"true"));
        EXPECT_EQ(L"true", other.getValue());
        EXPECT_EQ(L"true", exact.getOriginalValue());

        // A report compares with what is read: "false" already, so it changes nothing.
        makeObservedValue(L"Telephony_P2P_Enabled", L"true", L"", false, L"A", L"");
        value->update(L"false", L"", false, true, L"A", L"");

        // Reading in FIPS mode did not overwrite what the stores supplied.
        zvf::common::FipsUtils::setFipsOverrideForTesting(0);
        EXPECT_EQ(L"true", exact.getValue());
        EXPECT_EQ(L"true", lower.getValue());
    });
    EXPECT_TRUE(log->empty());
}

TEST_F(ConfigValueImplTest, WritesAndResetsGoToTheFeatureSetAndLeaveTheObjectAlone) {
    auto recorder = std::make_shared<RecordingConfigFeatureSet>();
    onServicesThread([this]() {
        makeObservedValue();
        // No feature set registered yet: nothing to forward to.
        value->setConfig(L"ignored");
        value->reset();
    });
    factory->setFeatureSetAdapter<ConfigFeatureSet>(1300, recorder);
    onServicesThread([this]() {
        value->setConfig(L"wanted");
        value->reset();
        EXPECT_EQ(L"on", value->getValue());
    });
    EXPECT_EQ((std::vector<std::string>{"setConfig(Feature=wanted)", "resetConfig(Feature)"}), recorder->calls);
    EXPECT_TRUE(log->empty());
}

}  // namespace
