// GLib's GKeyFile as a peer: three key files, a lookup is
// g_key_file_has_key + g_key_file_get_string on user, administrator, then
// defaults.
#include <glib.h>

#include "LookupPeer.h"

namespace peers {

namespace {

struct KeyFileFreer {
    void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using KeyFile = std::unique_ptr<GKeyFile, KeyFileFreer>;

class GKeyFilePeer : public LookupPeer {
public:
    const char* name() const override { return "GKeyFile"; }

    bool load(const IniFiles& files) override {
        for (KeyFile& file : layers) {
            file.reset();
        }
        const std::string* paths[] = {&files.user, &files.administrator, &files.defaults};
        for (int i = 0; i < 3; ++i) {
            KeyFile file(g_key_file_new());
            if (!g_key_file_load_from_file(file.get(), paths[i]->c_str(), G_KEY_FILE_NONE, nullptr)) {
                return false;
            }
            layers[i] = std::move(file);
        }
        return true;
    }

    std::size_t lookupAll(const std::vector<std::string>& keys, std::uint64_t& checksum) override {
        std::size_t found = 0;
        for (const std::string& key : keys) {
            for (const KeyFile& file : layers) {
                if (g_key_file_has_key(file.get(), kIniGroup, key.c_str(), nullptr)) {
                    gchar* value = g_key_file_get_string(file.get(), kIniGroup, key.c_str(), nullptr);
                    checksum += value ? std::char_traits<char>::length(value) : 0;
                    g_free(value);
                    ++found;
                    break;
                }
            }
        }
        return found;
    }

    Answer lookup(const std::string& key) override {
        for (const KeyFile& file : layers) {
            if (g_key_file_has_key(file.get(), kIniGroup, key.c_str(), nullptr)) {
                gchar* value = g_key_file_get_string(file.get(), kIniGroup, key.c_str(), nullptr);
                Answer answer;
                answer.found = value != nullptr;
                answer.value = value ? value : "";
                answer.layer = layerOfValue(answer.value);
                g_free(value);
                return answer;
            }
        }
        return Answer();
    }

private:
    KeyFile layers[3];  // user, administrator, defaults
};

}  // namespace

std::unique_ptr<LookupPeer> makeGKeyFilePeer() { return std::make_unique<GKeyFilePeer>(); }

}  // namespace peers
