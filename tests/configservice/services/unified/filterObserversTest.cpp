#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ConfigServiceObserver.h"
#include "ConfigValueObserver.h"
#include "filterObservers.h"

using ZVFUnified::ConfigServiceObserver;
using ZVFUnified::UnifiedBusinessObjectObserver;
using ZVFUnified::filterObservers;

namespace {

class NamedServiceObserver : public ConfigServiceObserver {
public:
    explicit NamedServiceObserver(std::string nameIn) : name(std::move(nameIn)) {}
    void OnInfoChanged() override {}
    void OnGuidChanged() override {}
    void OnBulkUpdateInProgressChanged() override {}
    void OnConfigReadyChanged() override {}
    std::string name;
};

// Alive, but of another observer type.
class PlainObserver : public UnifiedBusinessObjectObserver {
public:
    void OnInfoChanged() override {}
    void OnGuidChanged() override {}
};

using List = std::vector<std::weak_ptr<UnifiedBusinessObjectObserver>>;

std::vector<std::string> names(const List& list) {
    std::vector<std::string> result;
    for (const auto& weak : list) {
        auto alive = weak.lock();
        auto named = std::dynamic_pointer_cast<NamedServiceObserver>(alive);
        result.push_back(named ? named->name : (alive ? "other" : "expired"));
    }
    return result;
}

TEST(filterObserversTest, ExpiredObserverIsSwappedWithTheLastOneWhichIsExaminedInTurn) {
    struct Case {
        std::vector<std::string> alive;  // "-" marks an observer that has expired
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        // b is swapped with e and dropped; then d is last and simply dropped.
        {{"a", "-", "c", "-", "e"}, {"a", "e", "c"}},
        // a is swapped with the expired d, which is then swapped with c.
        {{"-", "b", "c", "-"}, {"c", "b"}},
        {{"-", "-"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.alive));
        std::vector<std::shared_ptr<NamedServiceObserver>> owners;
        List list;
        for (const std::string& name : c.alive) {
            auto observer = std::make_shared<NamedServiceObserver>(name);
            list.push_back(observer);
            if (name != "-") {
                owners.push_back(observer);
            }
        }

        auto result = filterObservers<ConfigServiceObserver>(list);

        EXPECT_EQ(c.expected, names(List(result.begin(), result.end())));
        EXPECT_EQ(c.expected, names(list));
    }
}

TEST(filterObserversTest, ObserversOfAnotherTypeStayListedButAreNotReturned) {
    auto a = std::make_shared<NamedServiceObserver>("a");
    auto other = std::make_shared<PlainObserver>();
    auto b = std::make_shared<NamedServiceObserver>("b");
    List list{a, other, b};
    std::vector<std::shared_ptr<UnifiedBusinessObjectObserver>> keepAlive;

    auto result = filterObservers<ConfigServiceObserver>(list, &keepAlive);

    EXPECT_EQ((std::vector<std::string>{"a", "b"}), names(List(result.begin(), result.end())));
    EXPECT_EQ((std::vector<std::string>{"a", "other", "b"}), names(list));
    ASSERT_EQ(1u, keepAlive.size());
    EXPECT_EQ(other, keepAlive[0]);
}

}  // namespace
