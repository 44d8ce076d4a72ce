#include "unified/TypeMap.h"

namespace ZVFUnified {

std::string getItemTypeName(const std::type_info* type) {
    if (type == nullptr) {
        return "NULL";
    }
    const char* name = type->name();
    // The Itanium ABI marks some names local to a library with a leading '*';
    // the registry must see the same name on both sides of a library boundary.
    if (name != nullptr && *name == '*') {
        ++name;
    }
    return name != nullptr ? std::string(name) : std::string("NULL");
}

}  // namespace ZVFUnified
