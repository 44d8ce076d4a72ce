#include "commands/WatchList.h"

#include <algorithm>
#include <exception>
#include <functional>

#include "BusinessObjectProperties.h"
#include "ConfigService.h"
#include "ConfigStoreConstants.h"
#include "ConfigValue.h"
#include "ConfigValueNotifiers.h"
#include "PTKCoreUtils/StringUtils.h"
#include "PropertyNotifier.h"
#include "PropertyNotifierConnection.h"
#include "output/Output.h"

namespace nuvrixconfig {

using ZVFUnified::ConfigValue;

namespace {

nlohmann::json state(const std::wstring& text) { return PTKCoreUtils::toString(text); }
nlohmann::json state(bool flag) { return flag; }

std::string shown(const nlohmann::json& value) { return value.is_string() ? value.get<std::string>() : value.dump(); }

// The properties that carry the key's value itself, hidden for secret keys.
bool carriesValue(const std::string& property) { return property == "Value" || property == "OriginalValue"; }

}  // namespace

WatchList::WatchList(Output& outputIn) : output(outputIn) {}

WatchList::~WatchList() = default;

bool WatchList::add(ZVFUnified::ConfigService& service, const std::string& requested) {
    std::shared_ptr<ConfigValue> value = service.getConfig(PTKCoreUtils::toWideString(requested));
    // Shown as asked unless it is an old name: a store may hold the key in
    // another letter case.
    const std::string current = PTKCoreUtils::toString(value->getKey());
    const std::string key = PTKCoreUtils::caseInsensitiveStringEquals(current, requested) ? requested : current;
    for (const Watch& watch : watches) {
        if (PTKCoreUtils::caseInsensitiveStringEquals(watch.key, key)) {
            return false;
        }
    }
    const bool secret = service.isKeySensitive(value->getKey());
    std::weak_ptr<ConfigValue> weakValue = value;
    Output* out = &output;
    Watch watch{key, value, {}};
    auto notifiers = value->getConfigValueNotifiers();
    // One connection per property of the value's property table, so that a
    // property added there is watched too.
    auto connect = [&](std::shared_ptr<ZVFUnified::PropertyNotifier> notifier, const std::string& property,
                       std::function<nlohmann::json(ConfigValue&)> read) {
        const bool hide = secret && carriesValue(property);
        watch.connections.push_back(notifier->connect([weakValue, out, key, property, read, hide] {
            // Called by the plug-in's notifier: nothing may be thrown back
            // into it.
            try {
                std::shared_ptr<ConfigValue> changed = weakValue.lock();
                if (!changed) {
                    return;
                }
                nlohmann::json now = read(*changed);
                if (hide) {
                    now = PTKCoreUtils::toString(ZVFUnified::ConfigStoreConstants::VALUE_HIDDEN);
                }
                const nlohmann::json event = {{"watch", key}, {"property", property}, {"now", now}};
                out->result(event, [&](const nlohmann::json&) {
                    return "watch " + key + ": " + property + " -> " + shown(now);
                });
            } catch (const std::exception& e) {
                out->error("watch " + key + ": " + e.what());
            }
        }));
    };
#define NUVRIX_CONFIG_WATCH_PROPERTY(Name, Type) \
    connect(notifiers->get##Name##Notifier(), #Name, [](ConfigValue& v) { return state(v.get##Name()); });
    ZVF_CONFIG_VALUE_PROPERTIES(NUVRIX_CONFIG_WATCH_PROPERTY)
#undef NUVRIX_CONFIG_WATCH_PROPERTY
    watches.push_back(std::move(watch));
    return true;
}

bool WatchList::remove(ZVFUnified::ConfigService& service, const std::string& requested) {
    const std::string key = PTKCoreUtils::toString(service.getConfig(PTKCoreUtils::toWideString(requested))->getKey());
    auto found = std::find_if(watches.begin(), watches.end(), [&key](const Watch& watch) {
        return PTKCoreUtils::caseInsensitiveStringEquals(watch.key, key);
    });
    if (found == watches.end()) {
        return false;
    }
    for (const auto& connection : found->connections) {
        if (auto live = connection.lock()) {
            live->disconnect();
        }
    }
    watches.erase(found);
    return true;
}

void WatchList::clear() {
    for (const Watch& watch : watches) {
        for (const auto& connection : watch.connections) {
            if (auto live = connection.lock()) {
                live->disconnect();
            }
        }
    }
    watches.clear();
}

std::vector<std::string> WatchList::keys() const {
    std::vector<std::string> names;
    for (const Watch& watch : watches) {
        names.push_back(watch.key);
    }
    return names;
}

}  // namespace nuvrixconfig
