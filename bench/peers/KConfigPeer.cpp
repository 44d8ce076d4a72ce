// KDE Frameworks' KConfig as a peer: the user's file opened with the defaults
// and administrator files added as configuration sources beneath it (a
// cascade: later sources override earlier ones, the opened file overrides
// them all); a lookup is KConfigGroup::hasKey + readEntry on the merged
// group. NoGlobals: no kdeglobals, but the sources are read (a SimpleConfig
// would ignore them).
#include <KConfig>
#include <KConfigGroup>

#include <QString>
#include <QStringList>

#include "LookupPeer.h"

namespace peers {

namespace {

class KConfigPeer : public LookupPeer {
public:
    const char* name() const override { return "KConfig"; }

    bool load(const IniFiles& files) override {
        group.reset();
        config.reset();
        config = std::make_unique<KConfig>(QString::fromStdString(files.user), KConfig::NoGlobals);
        config->addConfigSources(
            {QString::fromStdString(files.defaults), QString::fromStdString(files.administrator)});
        group = std::make_unique<KConfigGroup>(config.get(), kIniGroup);
        // KConfig parses at construction; an empty group means a file was
        // missing or unreadable.
        return group->exists() && !group->keyList().isEmpty();
    }

    std::size_t lookupAll(const std::vector<std::string>& keys, std::uint64_t& checksum) override {
        std::size_t found = 0;
        for (const std::string& key : keys) {
            if (group->hasKey(key.c_str())) {
                const QString value = group->readEntry(key.c_str(), QString());
                checksum += static_cast<std::uint64_t>(value.size());
                ++found;
            }
        }
        return found;
    }

    Answer lookup(const std::string& key) override {
        Answer answer;
        if (group->hasKey(key.c_str())) {
            answer.found = true;
            answer.value = group->readEntry(key.c_str(), QString()).toStdString();
            answer.layer = layerOfValue(answer.value);
        }
        return answer;
    }

private:
    std::unique_ptr<KConfig> config;
    std::unique_ptr<KConfigGroup> group;  // of config; goes first
};

}  // namespace

std::unique_ptr<LookupPeer> makeKConfigPeer() { return std::make_unique<KConfigPeer>(); }

}  // namespace peers
