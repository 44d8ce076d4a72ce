#include "ConfigServiceImpl.h"

#include <utility>

#include "ConfigFeatureSet.h"
#include "ConfigStoreConstants.h"
#include "ConfigValueImpl.h"
#include "DisableP2PCallOnFips.h"
#include "PTKCoreUtils/StringUtils.h"
#include "logging/ZVFLogger.h"
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

std::size_t ConfigServiceImpl::KeyHash::operator()(std::wstring_view key) const {
    // FNV-1a over the folded characters.
    std::size_t hash = 14695981039346656037ull;
    for (wchar_t c : key) {
        hash ^= static_cast<std::size_t>(PTKCoreUtils::foldAscii(c));
        hash *= 1099511628211ull;
    }
    return hash;
}

bool ConfigServiceImpl::KeyEquals::operator()(std::wstring_view a, std::wstring_view b) const {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && PTKCoreUtils::foldAscii(a[i]) != PTKCoreUtils::foldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

void ConfigServiceImpl::insertConfig(const std::wstring& key, const std::shared_ptr<ConfigValueImpl>& object) {
    auto inserted = configValues.emplace(key, object);
    if (inserted.second) {
        configValueIndex.emplace(std::wstring_view(inserted.first->first), inserted.first);
    }
}

void ConfigServiceImpl::clearConfigs() {
    configValueIndex.clear();
    configValues.clear();
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

std::shared_ptr<ConfigValueImpl> ConfigServiceImpl::findConfigFromKey(const std::wstring& key) {
    auto found = configValueIndex.find(std::wstring_view(key));
    if (found == configValueIndex.end()) {
        return nullptr;
    }
    const std::shared_ptr<ConfigValueImpl>& object = found->second->second;
    DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(object);
    return object;
}

std::shared_ptr<ConfigValueImpl> ConfigServiceImpl::findConfig(const std::wstring& key) {
    // The current name is used in place in the alias table (isKeyAlias
    // without its copy): this runs on every lookup and every change report.
    // The table is not changed while this runs (services thread only).
    const std::wstring* realName = findKeyAlias(key);
    const bool aliased = realName != nullptr;
    bool foundViaAlias = false;
    std::shared_ptr<ConfigValueImpl> result;
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
            // A key is sensitive under its old and its current name alike.
            const std::wstring shown =
                isKeySensitive(key) ? ConfigStoreConstants::VALUE_HIDDEN : result->getValue();
            ZVF_LOG(logger, 4,
                    L"findConfig key : [" + key + L"] is an alias for key : [" + *realName +
                        L"] actual lookup done on this key - value : [" +
                        PTKCoreUtils::toWideString(ZVFLogger_replacePIIData(PTKCoreUtils::toString(shown))) + L"]");
        }
        return result;
    }
    // Not cached: a new, undefined object under the current name.
    return createConfig(aliased ? *realName : key);
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

std::shared_ptr<std::vector<std::shared_ptr<ConfigValue>>> ConfigServiceImpl::getAllConfig() {
    auto all = std::make_shared<std::vector<std::shared_ptr<ConfigValue>>>();
    all->reserve(configValues.size());
    for (const auto& entry : configValues) {
        DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(entry.second);
        all->push_back(entry.second);
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
    std::shared_ptr<ConfigValueImpl> object = findConfig(key);
    if (silent) {
        object->silentUpdate(value, originalValue, isOverridden, isDefined, valueStoreName, originalValueStoreName);
    } else {
        object->update(value, originalValue, isOverridden, isDefined, valueStoreName, originalValueStoreName);
    }
}

void ConfigServiceImpl::FireIfRequired(std::wstring key) {
    EnsureUpdateAccess(true);
    findConfig(key)->fireRequired();
}

void ConfigServiceImpl::updateSensitiveKeyList(std::wstring key) {
    EnsureUpdateAccess(true);
    sensitiveKeys.insert(key);
}

void ConfigServiceImpl::configDownloadFailed() {
    if (ZVFLog_isDebugEnabled(logger)) {
        ZVF_LOG(logger, 5, "ConfigServiceImpl::configDownloadFailed()");
    }
}

// ---- Configuration dump -----------------------------------------------------

void ConfigServiceImpl::logConfig() {
    EnsureUpdateAccess(true);
    std::wstring text = L"\n*********************** Master Configuration Settings *********************\n";
    text += L"\nOriginalValue is the value set by the administrator\n";
    text += L"\nValue is the value retrieved by searching the config sources by priority\n";

    // Two walks of the cache, one per section, so each object is listed once.
    auto appendSection = [this, &text](bool defined) {
        for (const auto& entry : configValues) {
            const std::shared_ptr<ConfigValueImpl>& object = entry.second;
            if (object->getisDefined() != defined) {
                continue;
            }
            const std::wstring key = object->getKey();
            const bool hidden = isKeySensitive(key);
            appendDumpLine(text, key, hidden ? ConfigStoreConstants::VALUE_HIDDEN : object->getValue(),
                           object->getValueStoreName(),
                           hidden ? ConfigStoreConstants::VALUE_HIDDEN : object->getOriginalValue(),
                           object->getOriginalValueStoreName());
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
