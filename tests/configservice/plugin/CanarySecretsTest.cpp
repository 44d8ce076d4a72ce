// Canary secrets through the real plug-in: a unique marker in the value of
// every secret the configuration holds, entered along every path a secret
// takes (the service, the feature set, the in-memory store, a store another
// service adds, a cached store, device-management text that marks keys
// sensitive), read back under current and old key names, dumped to the log
// and into the problem report, carried across a restart. With debug logging
// on, no marker may show in any log record, in the problem report or in any
// file the runs leave on disk: not as it is, not in Base64 (either
// alphabet, at any alignment), hex, URL encoding or UTF-16/32. The encrypted
// files legitimately hold the values; their bytes on disk must not show them.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ConfigValue.h"
#include "PTKCoreUtils/StringUtils.h"
#include "PluginTest.h"
#include "SensitiveKeySource.h"
#include "zvf/Base64.h"

namespace nuvrixtest {
namespace {

// A secret: the key it is stored under, the other name it answers to (empty
// when the key was never renamed) and its marker value.
struct Canary {
    std::wstring key;
    std::wstring otherName;
    std::string value;
    std::wstring wide() const { return PTKCoreUtils::toWideString(value); }
};

// Markers are unique per key and hold characters that URL encoding changes
// (space, '/', '+') and none that XML escapes or the log's personal-data
// masking rewrites, so that every form below is the form a leak would take.
std::string marker(int index) { return "Qz" + std::to_string(10 + index) + "canary/Vk +Wr" + std::to_string(index); }

// Where a leaked marker may hide: the ways of writing its bytes.
std::vector<std::pair<std::string, std::string>> formsOf(const std::string& value) {
    std::vector<std::pair<std::string, std::string>> forms{{"plain", value}};
    // Base64 of the marker inside a longer text depends on where it starts:
    // for each of the three alignments, the characters that encode marker
    // bits only.
    for (std::size_t shift = 0; shift < 3; ++shift) {
        const std::string shifted = std::string(shift, '\0') + value;
        const std::string encoded =
            zvf::base64_encode(reinterpret_cast<const unsigned char*>(shifted.data()),
                               static_cast<uint32_t>(shifted.size()));
        const std::size_t first = (8 * shift + 5) / 6;
        const std::size_t end = 8 * shifted.size() / 6;
        std::string inner = encoded.substr(first, end - first);
        forms.emplace_back("Base64", inner);
        for (char& c : inner) {
            c = c == '+' ? '-' : c == '/' ? '_' : c;
        }
        forms.emplace_back("Base64url", inner);
    }
    std::string utf16;
    std::string utf32;
    for (unsigned char c : value) {
        utf16 += {static_cast<char>(c), '\0'};
        utf32 += {static_cast<char>(c), '\0', '\0', '\0'};
    }
    forms.insert(forms.end(), {{"UTF-16", utf16}, {"UTF-32", utf32}});
    for (const char* digits : {"0123456789ABCDEF", "0123456789abcdef"}) {
        std::string hex;
        std::string percent;
        std::string formEncoded;  // a space is '+'
        for (unsigned char c : value) {
            const std::string escaped{'%', digits[c >> 4], digits[c & 15]};
            const bool unreserved = std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~';
            hex += escaped.substr(1);
            percent += unreserved ? std::string(1, static_cast<char>(c)) : escaped;
            formEncoded += c == ' ' ? std::string("+") : unreserved ? std::string(1, static_cast<char>(c)) : escaped;
        }
        forms.insert(forms.end(), {{"hex", hex}, {"URL-encoded", percent}, {"form-encoded", formEncoded}});
    }
    return forms;
}

// A store another service adds, whose own document marks some of its keys
// sensitive (as device-management and server XML do), asking to be cached.
class DocumentMarkedStore : public TestConfigStore, public ZVFUnified::SensitiveKeySource {
public:
    DocumentMarkedStore(std::string name, int priority, Values values,
                        std::vector<std::wstring> marked)
        : TestConfigStore(std::move(name), priority, std::move(values), Options{true, true, false}),
          marked(std::move(marked)) {}

    // SensitiveKeySource:
    std::vector<std::wstring> getSensitiveKeys() override { return marked; }

private:
    const std::vector<std::wstring> marked;
};

class CanarySecretsTest : public PluginTest {
protected:

    // Every way a client reads the key back: the service's value object and
    // the feature set's walk, under the key's name and its other name. Each
    // must give the marker, so that the secret is known to be in play.
    void readBack(const Canary& canary) {
        std::vector<std::wstring> names{canary.key};
        if (!canary.otherName.empty()) {
            names.push_back(canary.otherName);
        }
        const std::wstring expected = canary.wide();
        for (const std::wstring& name : names) {
            EXPECT_EQ(expected, valueOf(name)) << "feature set, as " << PTKCoreUtils::toString(name);
            withService([&](ZVFUnified::ConfigService& configService) {
                EXPECT_EQ(expected, configService.getConfig(name)->getValue())
                    << "service, as " << PTKCoreUtils::toString(name);
            });
        }
    }

    // The log dump and the problem report, kept for the search.
    void dumpBoth() {
        withService([&](ZVFUnified::ConfigService& configService) {
            configService.logConfig();
            reports.push_back(PTKCoreUtils::toString(configService.getAllConfigForPRT()));
        });
    }

    // Ends the run, so that every queued write is on disk, then searches
    // the log records, the reports and every file under the test's
    // directories. Returns one line per hit.
    std::vector<std::string> searchEverywhere(const std::vector<Canary>& canaries) {
        drainQueues();
        factory->shutdown();
        std::vector<std::pair<std::string, std::string>> texts;
        for (const LogCapture::Record& record : capture->records()) {
            texts.emplace_back("log record of " + record.logger + " (" + record.functionName + ", level " +
                                   std::to_string(record.level) + "): " + record.message.substr(0, 300),
                               record.message);
        }
        for (std::size_t i = 0; i < reports.size(); ++i) {
            texts.emplace_back("problem report " + std::to_string(i + 1), reports[i]);
        }
        for (const auto& entry : std::filesystem::recursive_directory_iterator(temp->path())) {
            if (entry.is_regular_file()) {
                texts.emplace_back("file " + entry.path().string(), readFileBytes(entry.path().string()));
            }
        }
        std::vector<std::string> hits;
        for (const Canary& canary : canaries) {
            for (const auto& form : formsOf(canary.value)) {
                for (const auto& text : texts) {
                    if (text.second.find(form.second) != std::string::npos) {
                        hits.push_back(form.first + " value of " + PTKCoreUtils::toString(canary.key) + " in " +
                                       text.first);
                    }
                }
            }
        }
        return hits;
    }

    std::vector<std::string> reports;
    LogLevelScope debugLogging{5};
};

TEST_F(CanarySecretsTest, SecretsLeaveNoTraceInLogsDumpsReportsOrFiles) {
    const std::vector<Canary> nine{
        {L"Initial_Info", L"", marker(0)},
        {L"Addtional_Info", L"", marker(1)},
        {L"connectionpassword", L"", marker(2)},
        {L"connectionusername", L"", marker(3)},
        {L"BDIConnectionPassword", L"", marker(4)},
        {L"BDIConnectionUsername", L"", marker(5)},
        {L"BDIConnectionUserDn", L"", marker(6)},
        {L"Mvr_MeetingList_OfflineData", L"", marker(7)},
        {L"Mvr_MeetingList_OnlineData", L"", marker(8)},
    };
    // Marked sensitive only by the device-management text: a key with no
    // other name, a renamed key marked under its current name and one
    // marked under its old name.
    const std::vector<Canary> marked{
        {L"MdmVpnSharedSecret", L"", marker(9)},
        {L"VoicemailPrimaryServer", L"VVM_Mailstore_Server_0", marker(10)},
        {L"CtiServer1", L"CTIPrimaryServer", marker(11)},
    };
    writeDefaults({{"UiTheme", "light"}});
    inject();
    start();

    // The user's settings file, through the service and the feature set.
    withService([&](ZVFUnified::ConfigService& configService) {
        configService.setConfig(nine[0].key, nine[0].wide());
        configService.setConfig(nine[1].key, nine[1].wide());
    });
    featureSet()->setConfig(nine[2].key, nine[2].wide());
    featureSet()->setConfig(nine[3].key, nine[3].wide());
    // A store of another service that is cached, one that is not, the
    // in-memory store and device management.
    addStore("ServerConfigStore", 300, {{nine[4].key, nine[4].wide()}, {nine[5].key, nine[5].wide()}}, true);
    addStore("PresenceConfigStore", 100, {{nine[8].key, nine[8].wide()}});
    featureSet()->setInMemoryConfig(nine[6].key, nine[6].wide());
    std::string mdm = "<?xml version=\"1.0\"?>\n<Nuvrix><CachedConfig>\n";
    mdm += " <" + PTKCoreUtils::toString(nine[7].key) + ">" + nine[7].value + "</" + PTKCoreUtils::toString(nine[7].key) + ">\n";
    for (const Canary& canary : marked) {
        const std::string key = PTKCoreUtils::toString(canary.key);
        mdm += " <" + key + " sensitive=\"true\">" + canary.value + "</" + key + ">\n";
    }
    mdm += "</CachedConfig></Nuvrix>\n";
    featureSet()->setMdmConfig(mdm);
    drainQueues();

    std::vector<Canary> all = nine;
    all.insert(all.end(), marked.begin(), marked.end());
    for (const Canary& canary : all) {
        readBack(canary);
    }
    dumpBoth();

    // The next run: the settings file and the server store's cached copy
    // answer before anything else is added.
    stop();
    newRun();
    start();
    featureSet()->setMdmConfig(mdm);
    drainQueues();
    for (const Canary& canary : {nine[0], nine[2], nine[4], nine[5], marked[0], marked[1], marked[2]}) {
        readBack(canary);
    }
    dumpBoth();
    stop();

    EXPECT_EQ(std::vector<std::string>(), searchEverywhere(all));
}

TEST_F(CanarySecretsTest, KeyMarkedByACachedStoreStaysHiddenInTheNextRun) {
    const Canary secret{L"ServerVpnSecret", L"", marker(12)};
    inject();
    start();
    featureSet()->addConfigStore(std::make_shared<DocumentMarkedStore>(
        "ServerConfigStore", 300,
        TestConfigStore::Values{{secret.key, secret.wide()}, {L"ServicesDomain", L"corp.example.com"}},
        std::vector<std::wstring>{secret.key}));
    drainQueues();
    readBack(secret);
    dumpBoth();

    // The next run, before the server's store is added again: only its
    // cached copy knows the value.
    stop();
    newRun();
    start();
    drainQueues();
    readBack(secret);
    dumpBoth();
    stop();

    EXPECT_EQ(std::vector<std::string>(), searchEverywhere({secret}));
}

}  // namespace
}  // namespace nuvrixtest
