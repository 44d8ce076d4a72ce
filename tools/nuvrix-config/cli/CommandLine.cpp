#include "cli/CommandLine.h"

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <system_error>

#include <CLI/CLI.hpp>

#include "cli/CommandSet.h"
#include "cli/ExitStatus.h"
#include "cli/GlobalOptions.h"
#include "commands/Session.h"
#include "host/ProgramLocation.h"
#include "logging/ZVFLogger.h"
#include "output/Output.h"
#include "unified/UnifiedBusinessObjectImpl.h"
#include "zvf/common/FipsUtils.h"

namespace nuvrixconfig {

namespace {

// Without --log-level or NUVRIX_LOG_LEVEL: on standard error only fatal
// records, so that command output is not buried in the host's life-cycle
// lines; in a log file the host's usual detail.
constexpr int QUIET_LOG_LEVEL = 1;
constexpr int LOG_FILE_LEVEL = 4;

std::string absolute(const std::string& path) {
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error);
    return error ? path : full.lexically_normal().string();
}

bool environmentHas(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// Publishes the directories to the host (read at every use), sets up the log
// and FIPS mode. False, reported, when the log file cannot be opened.
bool applyOptions(const GlobalOptions& options, Output& output) {
    if (!options.configDir.empty()) {
        setenv("NUVRIX_CONFIG_DIR", absolute(options.configDir).c_str(), 1);
    }
    if (!options.resourcesDir.empty()) {
        setenv("NUVRIX_RESOURCES_DIR", absolute(options.resourcesDir).c_str(), 1);
    } else if (!environmentHas("NUVRIX_RESOURCES_DIR")) {
        const std::string bundled = ProgramLocation::bundledResourcesDirectory();
        if (!bundled.empty()) {
            setenv("NUVRIX_RESOURCES_DIR", bundled.c_str(), 1);
        }
    }
    if (!options.logFile.empty() && !ZVFLogger_setLogFile(options.logFile)) {
        output.error("cannot open log file " + options.logFile);
        return false;
    }
    if (options.logLevel >= 0) {
        ZVFLogger_setLevel(options.logLevel);
    } else if (!environmentHas("NUVRIX_LOG_LEVEL")) {
        ZVFLogger_setLevel(options.logFile.empty() ? QUIET_LOG_LEVEL : LOG_FILE_LEVEL);
    }
    if (options.fips) {
        zvf::common::FipsUtils::setFipsOverrideForTesting(1);
    }
    return true;
}

int runParsed(int argc, char** argv) {
    CLI::App app("The reference host of the Nuvrix configuration service: loads libconfigservice.so as the "
                 "client does and runs one command against it.\nExit status: 0 done, 1 not found or refused, "
                 "2 usage error or no usable plug-in.",
                 "nuvrix-config");
    app.set_version_flag("--version", NUVRIX_CONFIG_VERSION);
    app.fallthrough();
    GlobalOptions options;
    app.add_option("--config-dir", options.configDir, "Configuration directory (default: NUVRIX_CONFIG_DIR, "
                                                      "else ~/.config/nuvrix)");
    app.add_option("--resources-dir", options.resourcesDir, "Resources with the defaults file (default: "
                                                            "NUVRIX_RESOURCES_DIR, else the bundled ones)");
    app.add_option("--plugin", options.pluginPath, "Path of libconfigservice.so (default: next to the program)");
    app.add_option("--log-level", options.logLevel, "Log threshold 0-5 (default 1, or 4 with --log-file)")
        ->check(CLI::Range(0, 5));
    app.add_option("--log-file", options.logFile, "Append the host's log to this file");
    app.add_flag("--fips", options.fips, "Run as in FIPS mode");
    app.add_flag("--json", options.json, "Print results as JSON");
    CommandSet commands(app, CommandSet::Mode::Program);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return ExitStatus::Ok;
    } catch (const CLI::CallForAllHelp&) {
        std::cout << app.help("", CLI::AppFormatMode::All);
        return ExitStatus::Ok;
    } catch (const CLI::CallForVersion&) {
        std::cout << "nuvrix-config " << NUVRIX_CONFIG_VERSION << '\n';
        return ExitStatus::Ok;
    } catch (const CLI::ParseError& error) {
        std::cerr << "nuvrix-config: " << CommandSet::describeParseError(error, app)
                  << " (nuvrix-config --help shows the usage)\n";
        return ExitStatus::Usage;
    }
    Output output(std::cout, std::cerr, options.json);
    if (!applyOptions(options, output)) {
        return ExitStatus::Usage;
    }
    const long violationsBefore = ZVFUnified::UnifiedBusinessObjectImpl::getUpdateAccessViolationCount();
    int status = ExitStatus::Ok;
    {
        Session session(options, output);
        status = commands.run(session);
    }
    // Every service and value call is meant to run on the services thread;
    // say so loudly if one did not.
    const long violations = ZVFUnified::UnifiedBusinessObjectImpl::getUpdateAccessViolationCount() - violationsBefore;
    if (violations > 0) {
        output.error(std::to_string(violations) + " business-object call(s) ran off the services thread");
    }
    return status;
}

}  // namespace

int CommandLine::run(int argc, char** argv) {
    try {
        return runParsed(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "nuvrix-config: " << e.what() << '\n';
        return ExitStatus::Failed;
    }
}

}  // namespace nuvrixconfig
