#ifndef UNIFIED_FEATURESETADAPTER_H
#define UNIFIED_FEATURESETADAPTER_H

#include <memory>
#include <vector>

#include "NuvrixHostExport.h"
#include "unified/ServiceEvent.h"

namespace ZVFUnified {

// The host's control of a feature set's life cycle. Objects are always owned
// through the concrete type's shared pointer, so the destructor is not
// virtual; it is protected so that nobody deletes through this interface.
class NUVRIX_HOST_API FeatureSetAdapter {
public:
    using ServiceEvents = std::shared_ptr<std::vector<std::shared_ptr<ServiceEvent>>>;
    virtual void StartFeatureSet(unsigned int id, ServiceEvents events) = 0;
    virtual void StopFeatureSet(unsigned int id, ServiceEvents events) = 0;
    virtual void Destroy() = 0;
    virtual bool IsFeatureSetStarted(unsigned int id) = 0;
    virtual bool IsFeatureSetProvisioned(unsigned int id) = 0;
    virtual std::vector<unsigned int> GetFeatureSetDependencies(unsigned int id) = 0;

protected:
    ~FeatureSetAdapter() = default;
};

}  // namespace ZVFUnified

#endif
