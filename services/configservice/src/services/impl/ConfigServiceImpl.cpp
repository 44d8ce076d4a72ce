#include "ConfigServiceImpl.h"

#include <utility>

#include "ConfigFeatureSet.h"
#include "ConfigStoreConstants.h"
#include "ConfigValueImpl.h"
#include "DisableP2PCallOnFips.h"
#include "PTKCoreUtils/StringUtils.h"
#include "logging/ZVFLogger.h"
#include "zvf/common/FipsUtils.h"
#include "unified/UnifiedFactory.h"

namespace ZVFUnified {

namespace {

ZVFLogger* logger = ZVFLogger_getLogger("ConfigService-ConfigServiceImpl");

// One line of the configuration dump.
void appendDumpLine(std::wstring& text, const std::wstring& key, const std::wstring& value,
                    const std::wstring& valueStoreName, const std::wstring& originalValue,
                    const std::wstring& originalValueStoreName) {
    text += L"Key: ";
    text += key;
    text += L" -  Value - [";
    text += value;
    text += L"] valueStoreName [";
    text += valueStoreName;
    text += L"] | OriginalValue [";
    text += originalValue;
    text += L"] originalValueStoreName [";
    text += originalValueStoreName;
    text += L"]\n";
}

}  // namespace

ConfigServiceImpl::ConfigServiceImpl(std::shared_ptr<UnifiedFactory> factoryIn)
    : ConfigServiceBaseImpl(factoryIn), factory(factoryIn) {
    initialize(std::move(factoryIn));
}

ConfigServiceImpl::~ConfigServiceImpl() = default;

void ConfigServiceImpl::initialize(std::shared_ptr<UnifiedFactory> /*factory*/) { clearConfigs(); }

// ---- Value cache ----------------------------------------------------------------

namespace {

// The FIPS rule on a state that has no value object yet: what the value
// object's getValue would answer, and the in-place change its cache hits make.
bool isP2pKeyInFipsMode(const std::wstring& key) {
    const std::wstring& p2pKey = ConfigStoreConstants::Keys::Telephony_P2P_Enabled;
    return key.size() == p2pKey.size() && PTKCoreUtils::caseInsensitiveStringCompare(key, p2pKey) == 0 &&
           zvf::common::FipsUtils::isFipsEnabled();
}

// A change report applied to a state as ConfigValueImpl::silentUpdate applies
// it to an object: values compare ignoring case (Value as read), store names
// exactly.
void applyReport(ConfigServiceImpl::ConfigState& state, std::wstring& value, std::wstring& originalValue,
                 bool isOverridden, bool isDefined, std::wstring& valueStoreName,
                 std::wstring& originalValueStoreName) {
    const std::wstring& current = isP2pKeyInFipsMode(state.key) ? std::wstring(L"false") : state.value;
    if (!PTKCoreUtils::caseInsensitiveStringEquals(current, value)) {
        state.value.swap(value);
    }
    if (!PTKCoreUtils::caseInsensitiveStringEquals(state.originalValue, originalValue)) {
        state.originalValue.swap(originalValue);
    }
    state.isOverridden = isOverridden;
    state.isDefined = isDefined;
    if (state.valueStoreName != valueStoreName) {
        state.valueStoreName.swap(valueStoreName);
    }
    if (state.originalValueStoreName != originalValueStoreName) {
        state.originalValueStoreName.swap(originalValueStoreName);
    }
}

}  // namespace

void ConfigServiceImpl::insertConfig(const std::wstring& key, const std::shared_ptr<ConfigValueImpl>& object) {
    const std::size_t hash = ConfigKeyHash::hashOf(key.data(), key.size());
    if (configValueIndex.find(key, hash, configValues.end()) != configValues.end()) {
        return;
    }
    auto inserted = configValues.emplace(key, CachedConfig{object, nullptr});
    configValueIndex.insert(inserted.first, hash, configValues.size());
}

void ConfigServiceImpl::clearConfigs() {
    configValueIndex.clear();
    configValues.clear();
}

std::shared_ptr<ConfigValueImpl> ConfigServiceImpl::objectOf(CachedConfig& entry) {
    if (!entry.object) {
        ConfigState& state = *entry.state;
        auto object = std::make_shared<ConfigValueImpl>(factory, state.key);
        // The state as the properties, with nothing left to fire: nobody
        // could observe the changes that led to it.
        object->initialize(state.key, state.value, state.originalValue, state.isOverridden, state.isDefined,
                           state.valueStoreName, state.originalValueStoreName);
        entry.object = std::move(object);
        entry.state.reset();
    }
    return entry.object;
}

std::wstring ConfigServiceImpl::shownValue(const CachedConfig& entry) {
    if (entry.object) {
        return entry.object->getValue();
    }
    return isP2pKeyInFipsMode(entry.state->key) ? std::wstring(L"false") : entry.state->value;
}

// ---- Lookup -----------------------------------------------------------------

std::shared_ptr<ConfigValue> ConfigServiceImpl::getConfig(std::wstring key) {
    EnsureUpdateAccess(true);
    return findConfig(key);
}

const std::wstring* ConfigServiceImpl::findKeyAlias(const std::wstring& key) const {
    auto found = keyAliases.find(key);
    return found == keyAliases.end() ? nullptr : &found->second;
}

bool ConfigServiceImpl::isKeyAlias(const std::wstring& key, std::wstring& realName) const {
    const std::wstring* current = findKeyAlias(key);
    if (!current) {
        realName.clear();
        return false;
    }
    realName = *current;
    return true;
}

ConfigServiceImpl::CachedConfig* ConfigServiceImpl::findConfigFromKey(const std::wstring& key) {
    auto found = configValueIndex.find(key, ConfigKeyHash::hashOf(key.data(), key.size()), configValues.end());
    if (found == configValues.end()) {
        return nullptr;
    }
    CachedConfig& entry = found->second;
    if (entry.object) {
        DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(entry.object);
    } else if (isP2pKeyInFipsMode(entry.state->key)) {
        entry.state->value = L"false";
    }
    return &entry;
}

std::shared_ptr<ConfigValueImpl> ConfigServiceImpl::findConfig(const std::wstring& key) {
    return objectOf(findEntry(key));
}

ConfigServiceImpl::CachedConfig& ConfigServiceImpl::findEntry(const std::wstring& key) {
    // The current name is used in place in the alias table (isKeyAlias
    // without its copy): this runs on every lookup and every change report.
    // The table is not changed while this runs (services thread only).
    const std::wstring* realName = findKeyAlias(key);
    const bool aliased = realName != nullptr;
    bool foundViaAlias = false;
    CachedConfig* result = nullptr;
    if (aliased) {
        result = findConfigFromKey(*realName);
        if (!result) {
            // An object cached under the old name itself is still honoured.
            result = findConfigFromKey(key);
        } else {
            foundViaAlias = true;
        }
    } else {
        result = findConfigFromKey(key);
    }

    if (result) {
        if (foundViaAlias && ZVFLog_isLevelEnabled(logger, 4)) {
            // Sensitive under either of its names.
            const std::wstring shown = isKeySensitive(key) ? ConfigStoreConstants::VALUE_HIDDEN : shownValue(*result);
            // Logged as findConfig's: this is its lookup, whoever asked.
            ZVFLog(logger, 4, __FILE__, __LINE__, "findConfig",
                   L"findConfig key : [" + key + L"] is an alias for key : [" + *realName +
                       L"] actual lookup done on this key - value : [" +
                       PTKCoreUtils::toWideString(ZVFLogger_replacePIIData(PTKCoreUtils::toString(shown))) + L"]");
        }
        return *result;
    }
    // Not cached: the undefined state under the current name.
    const std::wstring& cachedKey = aliased ? *realName : key;
    auto inserted = configValues.emplace(cachedKey, CachedConfig{nullptr, std::make_unique<ConfigState>()});
    inserted.first->second.state->key = cachedKey;
    configValueIndex.insert(inserted.first, ConfigKeyHash::hashOf(cachedKey.data(), cachedKey.size()),
                            configValues.size());
    return inserted.first->second;
}

std::shared_ptr<ConfigValueImpl> ConfigServiceImpl::createConfig(const std::wstring& key) {
    auto created = std::make_shared<ConfigValueImpl>(factory, key);
    insertConfig(key, created);
    return created;
}

std::shared_ptr<ConfigValueImpl> ConfigServiceImpl::createConfig(const std::wstring& key, const std::wstring& value,
                                                                 const std::wstring& originalValue, bool isOverridden,
                                                                 const std::wstring& valueStoreName,
                                                                 const std::wstring& originalValueStoreName) {
    auto created = std::make_shared<ConfigValueImpl>(factory, key, value, originalValue, isOverridden,
                                                     valueStoreName, originalValueStoreName);
    insertConfig(key, created);
    return created;
}

// No update-access check, on purpose: the interface offers the listing on any
// thread (ConfigService), so a call from elsewhere is not logged as a
// violation. It reads the value cache and makes the objects still missing,
// which otherwise only the services thread does: a caller on another thread
// must not overlap with the change reports the services thread delivers.
std::shared_ptr<std::vector<std::shared_ptr<ConfigValue>>> ConfigServiceImpl::getAllConfig() {
    auto all = std::make_shared<std::vector<std::shared_ptr<ConfigValue>>>();
    all->reserve(configValues.size());
    for (auto& entry : configValues) {
        std::shared_ptr<ConfigValueImpl> object = objectOf(entry.second);
        DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(object);
        all->push_back(std::move(object));
    }
    return all;
}

bool ConfigServiceImpl::isKeySensitive(std::wstring key) {
    if (sensitiveKeys.empty()) {
        return false;
    }
    if (sensitiveKeys.count(key) != 0) {
        return true;
    }
    // The same key under its other name: the current name of an old one, or
    // an old name of a current one.
    if (const std::wstring* current = findKeyAlias(key)) {
        return sensitiveKeys.count(*current) != 0;
    }
    for (const auto& alias : keyAliases) {
        if (PTKCoreUtils::caseInsensitiveStringEquals(alias.second, key) && sensitiveKeys.count(alias.first) != 0) {
            return true;
        }
    }
    return false;
}

void ConfigServiceImpl::setupConfigKeyAliases(ConfigMap aliases) {
    EnsureUpdateAccess(true);
    keyAliases = std::move(aliases);
}

void ConfigServiceImpl::reset() {
    EnsureUpdateAccess(true);
    clearConfigs();
}

// ---- Forwarding to the feature set ------------------------------------------
// The feature set is looked up on every call and never kept: the host may
// replace or drop it.

void ConfigServiceImpl::setConfig(std::wstring key, std::wstring value) {
    EnsureUpdateAccess(true);
    if (auto featureSet = factory->getFeatureSet<ConfigFeatureSet>()) {
        featureSet->setConfig(key, value);
    }
}

void ConfigServiceImpl::setInMemoryConfig(std::wstring key, std::wstring value) {
    EnsureUpdateAccess(true);
    if (auto featureSet = factory->getFeatureSet<ConfigFeatureSet>()) {
        featureSet->setInMemoryConfig(key, value);
    }
}

void ConfigServiceImpl::setMdmConfig(std::string text) {
    EnsureUpdateAccess(true);
    if (auto featureSet = factory->getFeatureSet<ConfigFeatureSet>()) {
        featureSet->setMdmConfig(text);
    }
}

void ConfigServiceImpl::setKeySensitive(std::wstring key) {
    EnsureUpdateAccess(true);
    if (auto featureSet = factory->getFeatureSet<ConfigFeatureSet>()) {
        featureSet->setKeySensitive(key);
    }
}

void ConfigServiceImpl::resetConfig(std::wstring key) {
    EnsureUpdateAccess(true);
    if (auto featureSet = factory->getFeatureSet<ConfigFeatureSet>()) {
        featureSet->resetConfig(key);
    }
}

bool ConfigServiceImpl::removeConfigStoreAndCache(std::wstring storeName) {
    EnsureUpdateAccess(true);
    if (auto featureSet = factory->getFeatureSet<ConfigFeatureSet>()) {
        return featureSet->removeConfigStore(PTKCoreUtils::toString(storeName));
    }
    return false;
}

void ConfigServiceImpl::removeAllCachedConfigStores() {
    EnsureUpdateAccess(true);
    if (auto featureSet = factory->getFeatureSet<ConfigFeatureSet>()) {
        featureSet->removeAllCachedConfigStores();
    }
}

void ConfigServiceImpl::refreshConfigFeatureSet() {
    EnsureUpdateAccess(true);
    if (auto featureSet = factory->getFeatureSet<ConfigFeatureSet>()) {
        featureSet->refreshConfigFeatureSet();
    }
}

// The two URL-provisioning operations skip the update-access check: the
// interface allows them on any thread, since the client hands a provisioning
// URL over from wherever it arrives, and they touch no state of this object,
// only the feature set, which is thread-safe.
bool ConfigServiceImpl::setUrlProvisioningData(std::wstring data) {
    if (auto featureSet = factory->getFeatureSet<ConfigFeatureSet>()) {
        return featureSet->setUrlProvisioningData(data);
    }
    return false;
}

bool ConfigServiceImpl::resetAllowUriProvisioningData() {
    if (auto featureSet = factory->getFeatureSet<ConfigFeatureSet>()) {
        return featureSet->resetAllowUriProvisioningData();
    }
    return false;
}

std::wstring ConfigServiceImpl::getValueFromConfigStore(std::string storeName, std::wstring key) {
    EnsureUpdateAccess(true);
    if (auto featureSet = factory->getFeatureSet<ConfigFeatureSet>()) {
        return featureSet->getValueFromConfigStore(storeName, key);
    }
    return std::wstring();
}

std::wstring ConfigServiceImpl::getAllConfigForPRT() {
    EnsureUpdateAccess(true);
    std::wstring text;
    if (auto featureSet = factory->getFeatureSet<ConfigFeatureSet>()) {
        featureSet->getAllConfigForPRT(text);
    }
    return text;
}

// ---- Change notification and readiness --------------------------------------

void ConfigServiceImpl::OnConfigChanged(std::wstring key, std::wstring value,
                                        std::wstring originalValue, bool isOverridden, bool isDefined,
                                        std::wstring valueStoreName,
                                        std::wstring originalValueStoreName, bool silent) {
    EnsureUpdateAccess(true);
    CachedConfig& entry = findEntry(key);
    if (!entry.object) {
        // No object, so nobody to tell: the state takes the report.
        applyReport(*entry.state, value, originalValue, isOverridden, isDefined, valueStoreName,
                    originalValueStoreName);
    } else if (silent) {
        entry.object->silentUpdate(value, originalValue, isOverridden, isDefined, valueStoreName,
                                   originalValueStoreName);
    } else {
        entry.object->update(value, originalValue, isOverridden, isDefined, valueStoreName, originalValueStoreName);
    }
}

void ConfigServiceImpl::FireIfRequired(std::wstring key) {
    EnsureUpdateAccess(true);
    CachedConfig& entry = findEntry(key);
    if (entry.object) {
        entry.object->fireRequired();
    }
}

void ConfigServiceImpl::updateSensitiveKeyList(std::wstring key) {
    EnsureUpdateAccess(true);
    sensitiveKeys.insert(key);
}

void ConfigServiceImpl::configDownloadFailed() {
    ZVF_LOG(logger, 5, "ConfigServiceImpl::configDownloadFailed()");
}

// ---- Configuration dump -----------------------------------------------------

void ConfigServiceImpl::logConfig() {
    EnsureUpdateAccess(true);
    std::wstring text = L"\n*********************** Master Configuration Settings *********************\n";
    text += L"\nOriginalValue is the value set by the administrator\n";
    text += L"\nValue is the value retrieved by searching the config sources by priority\n";

    // Two walks of the cache, one per section, so each key is listed once.
    auto appendSection = [this, &text](bool defined) {
        for (const auto& cached : configValues) {
            const CachedConfig& entry = cached.second;
            const bool object = entry.object != nullptr;
            if ((object ? entry.object->getisDefined() : entry.state->isDefined) != defined) {
                continue;
            }
            const std::wstring key = object ? entry.object->getKey() : entry.state->key;
            const bool hidden = isKeySensitive(key);
            appendDumpLine(text, key, hidden ? ConfigStoreConstants::VALUE_HIDDEN : shownValue(entry),
                           object ? entry.object->getValueStoreName() : entry.state->valueStoreName,
                           hidden ? ConfigStoreConstants::VALUE_HIDDEN
                                  : (object ? entry.object->getOriginalValue() : entry.state->originalValue),
                           object ? entry.object->getOriginalValueStoreName() : entry.state->originalValueStoreName);
        }
    };
    text += L"\nDefined Values\n--------------\n";
    appendSection(true);
    text += L"\nUnDefined Values\n---------------\n";
    appendSection(false);
    text += L"\n*************************** End Settings ***************************\n";
    ZVF_LOG(logger, 4, text);
}

}  // namespace ZVFUnified
