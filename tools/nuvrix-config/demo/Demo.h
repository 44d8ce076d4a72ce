#ifndef NUVRIXCONFIG_DEMO_H
#define NUVRIXCONFIG_DEMO_H

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/GlobalOptions.h"
#include "output/Output.h"

namespace nuvrixconfig {

class Session;

// A guided tour of the configuration service in a fresh temporary
// configuration directory, printing each command as a user would type it
// and what it answers: the installed defaults, a server configuration that
// arrives and is cached, a user's override and its provenance, an old key
// name, a second run served from the cache, URL provisioning, a problem
// report without secrets and a data reset. Checks the facts each step is
// about and fails when one does not hold. Main thread.
class Demo {
public:
    explicit Demo(GlobalOptions options);

    int run();

private:
    void step(const std::string& title, const std::string& explanation);
    // Prints the command line a user would type for what follows.
    void typed(const std::string& arguments);
    void check(bool holds, const std::string& fact);
    // The value object's state of key in the session's running host.
    nlohmann::json view(Session& session, const std::string& key);
    // The first run (defaults, server configuration, user value, old name).
    bool firstRun(const std::string& samples);
    // The second run (cache, provisioning, report, reset).
    bool secondRun();

    GlobalOptions options;
    Output output;
    int steps = 0;
    std::vector<std::string> failed;
};

}  // namespace nuvrixconfig

#endif
