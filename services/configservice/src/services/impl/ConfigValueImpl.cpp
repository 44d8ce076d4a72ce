#include "ConfigValueImpl.h"

#include <utility>

#include "ConfigFeatureSet.h"
#include "ConfigStoreConstants.h"
#include "DisableP2PCallOnFips.h"
#include "PTKCoreUtils/StringUtils.h"
#include "unified/UnifiedFactory.h"
#include "zvf/common/FipsUtils.h"

namespace ZVFUnified {

ConfigValueImpl::ConfigValueImpl(std::shared_ptr<UnifiedFactory> factory, std::wstring key)
    : ConfigValueBaseImpl(std::move(factory)) {
    initialize(key, std::wstring(), std::wstring(), false, false, std::wstring(), std::wstring());
}

ConfigValueImpl::ConfigValueImpl(std::shared_ptr<UnifiedFactory> factory, std::wstring key,
                                 std::wstring value, std::wstring originalValue, bool isOverridden,
                                 std::wstring valueStoreName, std::wstring originalValueStoreName)
    : ConfigValueBaseImpl(std::move(factory)) {
    initialize(key, value, originalValue, isOverridden, true, valueStoreName, originalValueStoreName);
}

ConfigValueImpl::~ConfigValueImpl() = default;

void ConfigValueImpl::initialize(const std::wstring& key, const std::wstring& value, const std::wstring& originalValue,
                                 bool isOverridden, bool isDefined, const std::wstring& valueStoreName,
                                 const std::wstring& originalValueStoreName) {
    setKey(key);
    setValue(value);
    setOriginalValue(originalValue);
    setisOverridden(isOverridden);
    setisDefined(isDefined);
    setValueStoreName(valueStoreName);
    setOriginalValueStoreName(originalValueStoreName);
    valueFireRequired = false;
    originalValueFireRequired = false;
    isOverriddenFireRequired = false;
    isDefinedFireRequired = false;
    valueStoreNameFireRequired = false;
    originalValueStoreNameFireRequired = false;
}

std::wstring ConfigValueImpl::getValue() {
    std::wstring value = ConfigValueBaseImpl::getValue();
    DisableP2PCallOnFips::DisableP2PCallConfigValueOnFips(KeyProperty, value);
    return value;
}

bool ConfigValueImpl::isKey(const std::wstring& key) const {
    return KeyProperty.size() == key.size() && PTKCoreUtils::caseInsensitiveStringCompare(KeyProperty, key) == 0;
}

bool ConfigValueImpl::equals(std::wstring value) {
    return PTKCoreUtils::caseInsensitiveStringEquals(getValue(), value);
}

void ConfigValueImpl::setConfig(std::wstring value) {
    EnsureUpdateAccess(true);
    if (std::shared_ptr<ConfigFeatureSet> featureSet = unifiedFactory->getFeatureSet<ConfigFeatureSet>()) {
        featureSet->setConfig(getKey(), value);
    }
}

void ConfigValueImpl::reset() {
    EnsureUpdateAccess(true);
    if (std::shared_ptr<ConfigFeatureSet> featureSet = unifiedFactory->getFeatureSet<ConfigFeatureSet>()) {
        featureSet->resetConfig(getKey());
    }
}

bool ConfigValueImpl::isValueLocal() {
    // Exact comparisons: a value that differs from the administrator's only in
    // letter case was still set somewhere else.
    if (getValue() != getOriginalValue()) {
        return true;
    }
    return getValueStoreName() != getOriginalValueStoreName();
}

void ConfigValueImpl::silentUpdate(const std::wstring& value, const std::wstring& originalValue, bool isOverridden,
                                   bool isDefined, const std::wstring& valueStoreName,
                                   const std::wstring& originalValueStoreName) {
    EnsureUpdateAccess(true);
    // Value is compared as clients read it (after the FIPS rule); the other
    // parts are compared with the fields in place, which is what their
    // getters would return.
    // The value as read, without the copy getValue() makes.
    const bool fipsForcesFalse = isKey(ConfigStoreConstants::Keys::Telephony_P2P_Enabled) &&
                                 zvf::common::FipsUtils::isFipsEnabled();
    if (!PTKCoreUtils::caseInsensitiveStringEquals(fipsForcesFalse ? std::wstring(L"false") : ValueProperty, value)) {
        setValue(value);
        valueFireRequired = true;
    }
    if (!PTKCoreUtils::caseInsensitiveStringEquals(OriginalValueProperty, originalValue)) {
        setOriginalValue(originalValue);
        originalValueFireRequired = true;
    }
    if (isOverriddenProperty != isOverridden) {
        setisOverridden(isOverridden);
        isOverriddenFireRequired = true;
    }
    if (isDefinedProperty != isDefined) {
        setisDefined(isDefined);
        isDefinedFireRequired = true;
    }
    if (ValueStoreNameProperty != valueStoreName) {
        setValueStoreName(valueStoreName);
        valueStoreNameFireRequired = true;
    }
    if (OriginalValueStoreNameProperty != originalValueStoreName) {
        setOriginalValueStoreName(originalValueStoreName);
        originalValueStoreNameFireRequired = true;
    }
}

void ConfigValueImpl::update(const std::wstring& value, const std::wstring& originalValue, bool isOverridden,
                             bool isDefined, const std::wstring& valueStoreName,
                             const std::wstring& originalValueStoreName) {
    EnsureUpdateAccess(true);
    silentUpdate(value, originalValue, isOverridden, isDefined, valueStoreName, originalValueStoreName);
    fireRequired();
}

void ConfigValueImpl::fireRequired() {
    // Each flagged property is fired and then its flag cleared. A flag that an
    // observer sets again while its own property fires is therefore cleared
    // with it; flags of properties still to come fire in this same pass.
    if (valueFireRequired) {
        fireValue();
        valueFireRequired = false;
    }
    if (originalValueFireRequired) {
        fireOriginalValue();
        originalValueFireRequired = false;
    }
    if (isOverriddenFireRequired) {
        fireisOverridden();
        isOverriddenFireRequired = false;
    }
    if (isDefinedFireRequired) {
        fireisDefined();
        isDefinedFireRequired = false;
    }
    if (valueStoreNameFireRequired) {
        fireValueStoreName();
        valueStoreNameFireRequired = false;
    }
    if (originalValueStoreNameFireRequired) {
        fireOriginalValueStoreName();
        originalValueStoreNameFireRequired = false;
    }
}

}  // namespace ZVFUnified
