#ifndef NUVRIXCONFIG_SESSION_H
#define NUVRIXCONFIG_SESSION_H

#include <functional>
#include <memory>
#include <set>
#include <string>

#include "cli/GlobalOptions.h"

namespace nuvrixconfig {

class Host;
class Output;
class WatchList;

// What the commands of one run (or of one shell) share: the options, the
// output, the host (started when a command first needs it, so that commands
// that reject their input never load the plug-in or touch a file), the
// stores this program added and the shell's watches. Used from the main
// thread.
class Session {
public:
    Session(GlobalOptions options, Output& output);
    // Drops the watches on the services thread, then ends the host.
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const GlobalOptions& getOptions() const { return options; }
    Output& getOutput() { return output; }

    // The running host; null, with the reason reported, when the plug-in
    // cannot be loaded.
    Host* host();
    // Ends the running host (the next host() starts a new one), as the client
    // does when it exits: feature set stopped, queued writes done.
    void endHost();

    // Runs body on the services thread of the running host; false (reported)
    // when it threw.
    bool onServicesThread(const std::function<void()>& body, const std::string& taskName);

    // True when the configuration directory (or, if it does not exist yet,
    // the directory it would be created in) and its cache folder can be
    // written; otherwise reports which one cannot and why.
    bool checkConfigDirectoryWritable();

    void noteAddedStore(const std::string& name) { addedStores.insert(name); }
    const std::set<std::string>& getAddedStores() const { return addedStores; }

    WatchList& getWatches() { return *watches; }
    bool isShell() const { return shell; }
    void setShell(bool inShell) { shell = inShell; }

private:
    GlobalOptions options;
    Output& output;
    std::unique_ptr<Host> runningHost;
    std::unique_ptr<WatchList> watches;
    std::set<std::string> addedStores;
    bool shell = false;
};

}  // namespace nuvrixconfig

#endif
