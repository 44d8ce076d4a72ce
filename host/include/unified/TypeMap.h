#ifndef UNIFIED_TYPEMAP_H
#define UNIFIED_TYPEMAP_H

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <typeinfo>

#include "NuvrixHostExport.h"

namespace ZVFUnified {

// The platform's mangled name of a type ("N10ZVFUnified13ConfigServiceE"), or
// "NULL" when there is no type.
NUVRIX_HOST_API std::string getItemTypeName(const std::type_info* type);

// A registry of items by the type name of the interface they were registered
// under and by numeric id. Each index has its own mutex, so registration and
// lookup are safe from any thread. Compiled into every component that uses
// it: the lookup rules bind the plug-ins too.
template <class Base>
class TypeMap {
public:
    TypeMap() = default;
    TypeMap(const TypeMap&) = delete;
    TypeMap& operator=(const TypeMap&) = delete;

    template <class T>
    void setItem(uint32_t id, std::shared_ptr<Base> item) {
        const std::string name = getItemTypeName(&typeid(T));
        {
            std::lock_guard<std::mutex> guard(byNameLock);
            byName[name] = item;
        }
        std::lock_guard<std::mutex> guard(byIdLock);
        byId[id] = item;
    }

    template <class T>
    std::shared_ptr<T> getItem() const {
        const std::string name = getItemTypeName(&typeid(T));
        std::lock_guard<std::mutex> guard(byNameLock);
        auto found = byName.find(name);
        if (found == byName.end()) {
            return nullptr;
        }
        return std::dynamic_pointer_cast<T>(found->second);
    }

    std::shared_ptr<Base> getItemById(uint32_t id) const {
        std::lock_guard<std::mutex> guard(byIdLock);
        auto found = byId.find(id);
        return found == byId.end() ? nullptr : found->second;
    }

    void clear() {
        std::map<std::string, std::shared_ptr<Base>> names;
        std::map<uint32_t, std::shared_ptr<Base>> ids;
        {
            std::lock_guard<std::mutex> guard(byNameLock);
            names.swap(byName);
        }
        {
            std::lock_guard<std::mutex> guard(byIdLock);
            ids.swap(byId);
        }
        // The items are released here, outside both locks.
    }

private:
    mutable std::mutex byNameLock;
    std::map<std::string, std::shared_ptr<Base>> byName;
    mutable std::mutex byIdLock;
    std::map<uint32_t, std::shared_ptr<Base>> byId;
};

}  // namespace ZVFUnified

#endif
