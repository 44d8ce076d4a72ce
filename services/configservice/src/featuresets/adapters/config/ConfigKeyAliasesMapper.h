#ifndef CONFIG_CONFIGKEYALIASESMAPPER_H
#define CONFIG_CONFIGKEYALIASESMAPPER_H

#include "ConfigMap.h"

namespace ZVFUnified {

// The table of renamed configuration keys. Clients written against an old
// key name still reach the value through it, and values stored under an old
// name are still found through the new one.
class ConfigKeyAliasesMapper {
public:
    // Sets old name -> current name in aliasToCurrent for every renamed key,
    // then current name -> old name in currentToAlias for every entry of
    // aliasToCurrent, in its key order.
    static void getConfigKeyAliases(ConfigMap& aliasToCurrent, ConfigMap& currentToAlias);
};

}  // namespace ZVFUnified

#endif
