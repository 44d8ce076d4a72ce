#include "commands/ValueCommands.h"

#include <memory>

#include "ConfigFeatureSet.h"
#include "ConfigService.h"
#include "ConfigStore.h"
#include "ConfigStoreConstants.h"
#include "ConfigValue.h"
#include "PTKCoreUtils/StringUtils.h"
#include "cli/ExitStatus.h"
#include "commands/Session.h"
#include "commands/WatchList.h"
#include "host/Host.h"
#include "output/Output.h"
#include "output/TextTable.h"
#include "stores/StoreCatalogue.h"

namespace nuvrixconfig {

using PTKCoreUtils::toString;
using PTKCoreUtils::toWideString;
using ZVFUnified::ConfigStore;
namespace constants = ZVFUnified::ConfigStoreConstants;

namespace {

const std::string HIDDEN = toString(constants::VALUE_HIDDEN);

bool sameKey(const std::string& a, const std::string& b) { return PTKCoreUtils::caseInsensitiveStringEquals(a, b); }

std::string textOf(const nlohmann::json& value) { return value.is_string() ? value.get<std::string>() : "-"; }

std::string yesNo(const nlohmann::json& flag) { return flag.get<bool>() ? "yes" : "no"; }

}  // namespace

ValueCommands::ValueCommands(Session& sessionIn) : session(sessionIn) {}

nlohmann::json ValueCommands::describe(ZVFUnified::ConfigService& service, const std::string& requested,
                                       bool showSecrets) {
    std::shared_ptr<ZVFUnified::ConfigValue> value = service.getConfig(toWideString(requested));
    const std::wstring key = value->getKey();
    const bool secret = service.isKeySensitive(key) || service.isKeySensitive(toWideString(requested));
    const bool defined = value->getisDefined();
    auto shown = [&](const std::wstring& text) -> nlohmann::json {
        if (!defined) {
            return nullptr;
        }
        return secret && !showSecrets ? HIDDEN : toString(text);
    };
    auto storeOf = [&](const std::wstring& name) -> nlohmann::json {
        return defined && !name.empty() ? nlohmann::json(toString(name)) : nlohmann::json(nullptr);
    };
    const std::wstring originalStore = value->getOriginalValueStoreName();
    // A store may hold the key in another letter case; the name as asked is
    // shown then, and the current name when it was an old one.
    const std::string current = toString(key);
    return {{"requested", requested},
            {"key", sameKey(current, requested) ? requested : current},
            {"defined", defined},
            {"value", shown(value->getValue())},
            {"valueStore", storeOf(value->getValueStoreName())},
            {"originalValue", originalStore.empty() ? nlohmann::json(nullptr) : shown(value->getOriginalValue())},
            {"originalValueStore", storeOf(originalStore)},
            {"overridden", value->getisOverridden()},
            {"local", defined && value->isValueLocal()},
            {"sensitive", secret}};
}

std::string ValueCommands::render(const nlohmann::json& view) {
    std::string text = view["key"].get<std::string>();
    if (!sameKey(view["requested"].get<std::string>(), view["key"].get<std::string>())) {
        text += " (asked as " + view["requested"].get<std::string>() + ")";
    }
    text += '\n';
    if (!view["defined"].get<bool>()) {
        return text + "  not defined in any store\n";
    }
    text += "  value:          " + textOf(view["value"]) + '\n';
    text += "  value store:    " + textOf(view["valueStore"]) + '\n';
    text += "  original value: " + textOf(view["originalValue"]) + '\n';
    text += "  original store: " + textOf(view["originalValueStore"]) + '\n';
    text += "  overridden: " + yesNo(view["overridden"]) + "  local: " + yesNo(view["local"]) +
            "  sensitive: " + yesNo(view["sensitive"]) + '\n';
    return text;
}

int ValueCommands::get(const std::vector<std::string>& keys, bool showSecrets) {
    Host* host = session.host();
    if (!host) {
        return ExitStatus::Usage;
    }
    nlohmann::json views = nlohmann::json::array();
    if (!session.onServicesThread(
            [&] {
                for (const std::string& key : keys) {
                    views.push_back(describe(*host->getService(), key, showSecrets));
                }
            },
            "nuvrix-config get")) {
        return ExitStatus::Failed;
    }
    session.getOutput().result(views, [](const nlohmann::json& all) {
        std::string text;
        for (const auto& view : all) {
            text += (text.empty() ? "" : "\n") + render(view);
        }
        return text;
    });
    int status = ExitStatus::Ok;
    for (const auto& view : views) {
        if (!view["defined"].get<bool>()) {
            session.getOutput().error("key \"" + view["requested"].get<std::string>() + "\" is not defined in any store");
            status = ExitStatus::Failed;
        }
    }
    return status;
}

bool ValueCommands::resolveNames(const std::string& requested, std::string& current, std::string& oldName) {
    Host* host = session.host();
    std::vector<std::shared_ptr<ConfigStore>> stores =
        StoreCatalogue::list(*host->getFeatureSet(), session.getAddedStores());
    return session.onServicesThread(
        [&] {
            auto service = host->getService();
            current = toString(service->getConfig(toWideString(requested))->getKey());
            oldName.clear();
            if (!sameKey(current, requested)) {
                oldName = requested;
                return;
            }
            for (const auto& store : stores) {
                for (const std::wstring& key : store->getKeys()) {
                    const std::string name = toString(key);
                    if (!sameKey(name, current) && sameKey(toString(service->getConfig(key)->getKey()), current)) {
                        oldName = name;
                        return;
                    }
                }
            }
        },
        "nuvrix-config resolve key names");
}

int ValueCommands::explain(const std::string& requested, bool showSecrets) {
    Host* host = session.host();
    if (!host) {
        return ExitStatus::Usage;
    }
    std::string current;
    std::string oldName;
    nlohmann::json view;
    if (!resolveNames(requested, current, oldName) ||
        !session.onServicesThread([&] { view = describe(*host->getService(), requested, showSecrets); },
                                  "nuvrix-config explain")) {
        return ExitStatus::Failed;
    }
    auto featureSet = host->getFeatureSet();
    std::wstring effectiveValue;
    std::wstring effectiveStore;
    bool viaAlias = false;
    const bool found = featureSet->getConfig(toWideString(requested), effectiveValue, effectiveStore, viaAlias, false);
    const bool secret = view["sensitive"].get<bool>();
    auto answer = [&](ConfigStore& store, const std::string& key) -> nlohmann::json {
        std::wstring value;
        if (key.empty() || !store.getValue(toWideString(key), value)) {
            return nullptr;
        }
        return secret && !showSecrets ? HIDDEN : toString(value);
    };
    const std::string adminStore = textOf(view["originalValueStore"]);
    nlohmann::json rows = nlohmann::json::array();
    for (const auto& store : StoreCatalogue::list(*featureSet, session.getAddedStores())) {
        const std::string name = store->getName();
        rows.push_back({{"store", name},
                        {"priority", store->getPriority()},
                        {"readOnly", store->isReadOnly()},
                        {"answer", answer(*store, current)},
                        {"oldNameAnswer", answer(*store, oldName)},
                        {"effective", found && sameKey(name, toString(effectiveStore))},
                        {"administrator", sameKey(name, adminStore)}});
    }
    const nlohmann::json doc = {
        {"requested", requested},
        {"key", view["key"]},
        {"oldName", oldName.empty() ? nlohmann::json(nullptr) : nlohmann::json(oldName)},
        {"effective", found ? nlohmann::json{{"value", view["value"]}, {"store", toString(effectiveStore)}}
                            : nlohmann::json(nullptr)},
        {"administrator", view["originalValueStore"].is_null()
                              ? nlohmann::json(nullptr)
                              : nlohmann::json{{"value", view["originalValue"]}, {"store", adminStore}}},
        {"stores", rows}};
    session.getOutput().result(doc, [](const nlohmann::json& d) {
        const bool hasOld = d["oldName"].is_string();
        std::string text = d["key"].get<std::string>();
        if (hasOld) {
            text += " (old name " + d["oldName"].get<std::string>() + ")";
        }
        text += "\n";
        std::vector<std::string> headings{"PRIORITY", "STORE", "ACCESS", d["key"].get<std::string>()};
        if (hasOld) {
            headings.push_back(d["oldName"].get<std::string>());
        }
        headings.push_back("");
        TextTable table(headings, {true});
        for (const auto& row : d["stores"]) {
            std::vector<std::string> cells{std::to_string(row["priority"].get<int>()), row["store"].get<std::string>(),
                                           row["readOnly"].get<bool>() ? "read-only" : "writable",
                                           textOf(row["answer"])};
            if (hasOld) {
                cells.push_back(textOf(row["oldNameAnswer"]));
            }
            std::string mark;
            if (row["effective"].get<bool>()) {
                mark = "<- effective";
            }
            if (row["administrator"].get<bool>()) {
                mark += mark.empty() ? "<- administrator" : ", administrator";
            }
            cells.push_back(mark);
            table.addRow(cells);
        }
        text += table.render(2);
        if (d["effective"].is_null()) {
            return text + "  not defined in any store\n";
        }
        text += "  effective value:       " + textOf(d["effective"]["value"]) + " (from " +
                d["effective"]["store"].get<std::string>() + ")\n";
        text += "  administrator's value: " +
                (d["administrator"].is_null() ? std::string("none")
                                              : textOf(d["administrator"]["value"]) + " (from " +
                                                    d["administrator"]["store"].get<std::string>() + ")") +
                "\n";
        return text;
    });
    if (!found) {
        session.getOutput().error("key \"" + requested + "\" is not defined in any store");
        return ExitStatus::Failed;
    }
    return ExitStatus::Ok;
}

int ValueCommands::showAfterWrite(const std::string& key) {
    Host* host = session.host();
    host->settle();
    nlohmann::json view;
    if (!session.onServicesThread([&] { view = describe(*host->getService(), key, false); },
                                  "nuvrix-config read back")) {
        return ExitStatus::Failed;
    }
    session.getOutput().result(view, [](const nlohmann::json& v) { return render(v); });
    return ExitStatus::Ok;
}

int ValueCommands::set(const std::string& key, const std::string& value, bool allowNew) {
    if (!session.checkConfigDirectoryWritable()) {
        return ExitStatus::Failed;
    }
    Host* host = session.host();
    if (!host) {
        return ExitStatus::Usage;
    }
    bool defined = false;
    if (!session.onServicesThread([&] { defined = host->getService()->getConfig(toWideString(key))->getisDefined(); },
                                  "nuvrix-config set")) {
        return ExitStatus::Failed;
    }
    if (!defined && !allowNew) {
        session.getOutput().error("key \"" + key + "\" is not defined in any store; add --new to create it");
        return ExitStatus::Failed;
    }
    if (!session.onServicesThread([&] { host->getService()->setConfig(toWideString(key), toWideString(value)); },
                                  "nuvrix-config set")) {
        return ExitStatus::Failed;
    }
    return showAfterWrite(key);
}

int ValueCommands::unset(const std::string& key) {
    if (!session.checkConfigDirectoryWritable()) {
        return ExitStatus::Failed;
    }
    Host* host = session.host();
    if (!host) {
        return ExitStatus::Usage;
    }
    std::string current;
    std::string oldName;
    if (!resolveNames(key, current, oldName)) {
        return ExitStatus::Failed;
    }
    bool held = false;
    for (const auto& store : StoreCatalogue::list(*host->getFeatureSet(), session.getAddedStores())) {
        std::wstring value;
        held = held || (!store->isReadOnly() && (store->getValue(toWideString(current), value) ||
                                                 (!oldName.empty() && store->getValue(toWideString(oldName), value))));
    }
    if (!held) {
        session.getOutput().error("key \"" + key + "\" has no value of its own to remove (no writable store holds it)");
        return ExitStatus::Failed;
    }
    if (!session.onServicesThread([&] { host->getService()->resetConfig(toWideString(key)); }, "nuvrix-config unset")) {
        return ExitStatus::Failed;
    }
    return showAfterWrite(key);
}

int ValueCommands::setInMemory(const std::string& key, const std::string& value) {
    if (!session.isShell()) {
        session.getOutput().error("set-in-memory values end with the process; use it inside \"nuvrix-config shell\"");
        return ExitStatus::Usage;
    }
    Host* host = session.host();
    if (!host) {
        return ExitStatus::Usage;
    }
    if (!session.onServicesThread(
            [&] { host->getService()->setInMemoryConfig(toWideString(key), toWideString(value)); },
            "nuvrix-config set-in-memory")) {
        return ExitStatus::Failed;
    }
    return showAfterWrite(key);
}

int ValueCommands::watch(const std::string& key) {
    if (!session.isShell()) {
        session.getOutput().error("watch reports changes while the program runs; use it inside \"nuvrix-config shell\"");
        return ExitStatus::Usage;
    }
    Host* host = session.host();
    if (!host) {
        return ExitStatus::Usage;
    }
    bool added = false;
    std::vector<std::string> keys;
    if (!session.onServicesThread(
            [&] {
                added = !key.empty() && session.getWatches().add(*host->getService(), key);
                keys = session.getWatches().keys();
            },
            "nuvrix-config watch")) {
        return ExitStatus::Failed;
    }
    const nlohmann::json doc = {{"watching", keys}};
    if (key.empty() || !added) {
        session.getOutput().result(doc, [](const nlohmann::json& d) {
            std::string text = d["watching"].empty() ? "watching no key" : "watching:";
            for (const auto& name : d["watching"]) {
                text += " " + name.get<std::string>();
            }
            return text;
        });
        return ExitStatus::Ok;
    }
    session.getOutput().result(doc, [&key](const nlohmann::json&) { return "watching " + key; });
    return ExitStatus::Ok;
}

int ValueCommands::unwatch(const std::string& key) {
    Host* host = session.host();
    if (!host) {
        return ExitStatus::Usage;
    }
    bool removed = false;
    if (!session.onServicesThread([&] { removed = session.getWatches().remove(*host->getService(), key); },
                                  "nuvrix-config unwatch")) {
        return ExitStatus::Failed;
    }
    if (!removed) {
        session.getOutput().error("key \"" + key + "\" is not watched");
        return ExitStatus::Failed;
    }
    session.getOutput().result(nlohmann::json{{"unwatched", key}},
                               [&key](const nlohmann::json&) { return "stopped watching " + key; });
    return ExitStatus::Ok;
}

}  // namespace nuvrixconfig
