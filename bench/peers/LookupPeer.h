// A library a client engineer could pick instead of the configuration
// service, reduced to what bench_peers compares: loading the three key files
// (user, administrator, defaults) and answering lookups by walking them,
// user first. Peers are case-sensitive and get the queries in stored case.
//
// Each peer lives in a source file of its own that is compiled only when its
// library was found at configure time; bench_peers sees only this header.
// Objects are used by one thread.
#ifndef BENCH_PEERS_LOOKUPPEER_H
#define BENCH_PEERS_LOOKUPPEER_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Workload.h"

namespace peers {

struct IniFiles {
    std::string user;
    std::string administrator;
    std::string defaults;
};

class LookupPeer {
public:
    virtual ~LookupPeer() = default;

    virtual const char* name() const = 0;
    // Loads the three files, replacing what was loaded before. False when
    // one cannot be read.
    virtual bool load(const IniFiles& files) = 0;
    // Looks up every key; returns the number found and adds the length of
    // every value found to checksum, so that no lookup can be left out.
    virtual std::size_t lookupAll(const std::vector<std::string>& keys, std::uint64_t& checksum) = 0;
    // One lookup; the layer is the one the value names.
    virtual Answer lookup(const std::string& key) = 0;
};

// Defined only in a program built with that library (NUVRIX_BENCH_GKEYFILE,
// NUVRIX_BENCH_KCONFIG).
std::unique_ptr<LookupPeer> makeGKeyFilePeer();
std::unique_ptr<LookupPeer> makeKConfigPeer();

}  // namespace peers

#endif
