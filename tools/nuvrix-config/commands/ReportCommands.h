#ifndef NUVRIXCONFIG_REPORTCOMMANDS_H
#define NUVRIXCONFIG_REPORTCOMMANDS_H

#include <string>

namespace nuvrixconfig {

class Session;

// The whole-configuration views that support staff ask for: the service's
// log dump of every value with its provenance, and the problem-report
// document (secrets left out by the service). Main thread.
class ReportCommands {
public:
    explicit ReportCommands(Session& session);

    int dump();
    // To standard output, or to outputPath (created with mode 0600) when given.
    int report(const std::string& outputPath);

private:
    Session& session;
};

}  // namespace nuvrixconfig

#endif
