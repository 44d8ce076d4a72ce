#ifndef UNIFIED_FEATURESET_H
#define UNIFIED_FEATURESET_H

#include "NuvrixHostExport.h"

namespace ZVFUnified {

// What the factory's feature-set registry holds.
class NUVRIX_HOST_API FeatureSet {
public:
    virtual ~FeatureSet() = default;
};

}  // namespace ZVFUnified

#endif
