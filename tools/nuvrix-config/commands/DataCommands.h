#ifndef NUVRIXCONFIG_DATACOMMANDS_H
#define NUVRIXCONFIG_DATACOMMANDS_H

#include <string>

namespace nuvrixconfig {

class Session;

// The commands about the client's files as a whole: reading an encrypted
// settings or cache file as plain text, and the host's data reset. Main
// thread.
class DataCommands {
public:
    explicit DataCommands(Session& session);

    // Needs no host: the storage key of the local application data
    // directory is enough.
    int decrypt(const std::string& path);
    // Deletes the user's settings and cached configuration; refused unless
    // confirmed.
    int resetData(bool confirmed);

private:
    Session& session;
};

}  // namespace nuvrixconfig

#endif
