#ifndef TESTS_HOST_PLUGIN_GREETINGSERVICE_H
#define TESTS_HOST_PLUGIN_GREETINGSERVICE_H

#include <string>

#include "NuvrixHostExport.h"
#include "unified/UnifiedService.h"

// A service interface shared by the host tests and the small plug-in they
// load with dlopen: the plug-in registers an implementation under this type,
// the test looks it up and casts it down on its side of the library boundary.
class NUVRIX_HOST_API GreetingService : public virtual ZVFUnified::UnifiedService {
public:
    std::string getInterfaceName() override { return "GreetingService"; }
    virtual std::string greet(const std::string& name) = 0;
};

// Service id the plug-in registers under.
const unsigned int kGreetingServiceId = 4242;

namespace ZVFUnified {
class UnifiedFactory;
}

// The plug-in's entry point "registerGreetingService": registers its
// GreetingService with the factory.
using RegisterGreetingServiceFunction = bool (*)(ZVFUnified::UnifiedFactory* factory);

#endif
