// The writer that the crash-safety test starts, kills with SIGKILL at a
// random moment and starts again, a thousand times over the same
// directories. Each run
//  1. reads the files the previous run left straight from disk, before the
//     plug-in touches them: the user settings, their backup copy and the
//     cache file of a server store must decrypt, parse and hold a whole
//     state (a counter and the filler derived from it);
//  2. loads the plug-in as the client does (PluginLoader, feature set 1300)
//     and reads the same states through the feature set;
//  3. writes in a loop: the settings through the feature set and through
//     the service, the backup copy through the settings store, and the
//     cache file by adding a cacheable store again. Before each write it
//     reports what it is about to write, and after it (the persistence task
//     has run, the dispatchers are idle: the file and its directory are
//     flushed) it acknowledges it. After the first round it reports the
//     temporary files left in the directories: the leftovers of the killed
//     run must be gone by then.
// Reports go to the descriptor given on the command line, one line each:
//   F <settings> <backup> <cache>   states found in the files
//   P <settings> <cache>            states the plug-in reads
//   W <S|B|C> <n>                   about to write state n
//   A <S|B|C> <n>                   state n is on disk
//   T <count>                       temporaries left after the first round
// A state is a number >= 1; -1 means no file, -2 a file that does not
// decrypt, -3 one that does not parse or holds no whole state.
//
// Usage: nuvrix_crash_writer PLUGIN REPORT_FD SEED
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>

#include "ConfigFeatureSet.h"
#include "ConfigService.h"
#include "ConfigStore.h"
#include "LocalFileConfigStore.h"
#include "PTKCoreUtils/FileUtils.h"
#include "PTKCoreUtils/FunctionTask.h"
#include "PTKCoreUtils/StringUtils.h"
#include "Processing/TaskDispatcher.h"
#include "unified/FeatureSetAdapter.h"
#include "unified/PluginLoader.h"
#include "unified/ServicesDispatcher.h"
#include "unified/UnifiedFactory.h"
#include "zvf/SecureString.h"
#include "zvf/SecureStringReader.h"
#include "zvf/storage/EncryptFileUtils.h"

namespace {

const char kSettingsKey[] = "CrashState";
const char kCacheKey[] = "CacheState";
const char kServerStore[] = "CrashServerStore";

constexpr long kNoFile = -1;
constexpr long kUndecryptable = -2;
constexpr long kIncomplete = -3;

// The text of state n: "n:" and a filler whose length and letter follow
// from n, so that a file mixing two states cannot pass for either.
std::string stateText(long n) {
    const std::size_t length = static_cast<std::size_t>((n * 7919) % 6000);
    return std::to_string(n) + ":" + std::string(length, static_cast<char>('a' + n % 26));
}

// The state a text holds, or kIncomplete.
long stateOf(const std::string& text) {
    const std::string::size_type colon = text.find(':');
    if (colon == std::string::npos || colon == 0) {
        return kIncomplete;
    }
    char* end = nullptr;
    const long n = std::strtol(text.c_str(), &end, 10);
    return n >= 1 && end == text.c_str() + colon && stateText(n) == text ? n : kIncomplete;
}

bool namesMatch(const xmlChar* name, const char* wanted) {
    return name != nullptr && PTKCoreUtils::toLowercase(std::string(reinterpret_cast<const char*>(name))) ==
                                  PTKCoreUtils::toLowercase(std::string(wanted));
}

std::string contentOf(xmlNodePtr node) {
    std::unique_ptr<xmlChar, void (*)(void*)> text(xmlNodeGetContent(node), xmlFree);
    return text ? std::string(reinterpret_cast<const char*>(text.get())) : std::string();
}

std::string attributeOf(xmlNodePtr node, const char* name) {
    std::unique_ptr<xmlChar, void (*)(void*)> text(xmlGetProp(node, BAD_CAST name), xmlFree);
    return text ? std::string(reinterpret_cast<const char*>(text.get())) : std::string();
}

// The value of key in a settings document (<userConfig name= value=/>) or a
// cache document (<key>value</key>); false when there is none.
bool findValue(xmlNodePtr node, const char* key, std::string& value) {
    for (; node != nullptr; node = node->next) {
        if (node->type != XML_ELEMENT_NODE) {
            continue;
        }
        if (namesMatch(node->name, "userConfig") && PTKCoreUtils::toLowercase(attributeOf(node, "name")) ==
                                                         PTKCoreUtils::toLowercase(std::string(key))) {
            value = attributeOf(node, "value");
            return true;
        }
        if (namesMatch(node->name, key)) {
            value = contentOf(node);
            return true;
        }
        if (findValue(node->children, key, value)) {
            return true;
        }
    }
    return false;
}

// The state held by an encrypted settings or cache file.
long stateInFile(const std::string& path, const char* key) {
    if (!std::filesystem::exists(path)) {
        return kNoFile;
    }
    zvf::SecureString data;
    if (!zvf::storage::EncryptFileUtils::readDataFromFile(path, data, FileCategoryType::Configuration)) {
        return kUndecryptable;
    }
    zvf::SecureStringReader plain;
    data.getUnsecureString(plain);
    std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> doc(
        xmlReadMemory(plain.c_str(), static_cast<int>(plain.getBufSize()), path.c_str(), nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
        xmlFreeDoc);
    std::string value;
    if (!doc || !findValue(xmlDocGetRootElement(doc.get()), key, value)) {
        return kIncomplete;
    }
    return stateOf(value);
}

// A server store as another service adds one: one state, asking to be cached.
class CrashServerStore : public ZVFUnified::ConfigStore {
public:
    explicit CrashServerStore(long n) : value(PTKCoreUtils::toWideString(stateText(n))) {}

    // ConfigStore:
    bool getValue(const std::wstring& key, std::wstring& out) override {
        const bool found = PTKCoreUtils::caseInsensitiveStringEquals(key, PTKCoreUtils::toWideString(kCacheKey));
        out = found ? value : std::wstring();
        return found;
    }
    bool storeValue(const std::wstring&, const std::wstring&) override { return false; }
    std::vector<std::wstring> getKeys() override { return {PTKCoreUtils::toWideString(kCacheKey)}; }
    bool removeValue(const std::wstring&) override { return false; }
    void removeAllValues() override {}
    bool isReadOnly() override { return true; }
    std::string getName() override { return kServerStore; }
    int getPriority() override { return 300; }
    void persistValues() override {}
    void destroy() override {}
    bool isLocal() override { return false; }
    bool waitForStoreReady() override { return true; }
    bool shouldCacheConfigStore() override { return true; }

private:
    const std::wstring value;
};

// Report lines to the parent, each written whole with one call.
class Reporter {
public:
    explicit Reporter(int fd) : fd(fd) {}
    void line(const std::string& text) const {
        const std::string whole = text + "\n";
        if (::write(fd, whole.data(), whole.size()) != static_cast<ssize_t>(whole.size())) {
            std::exit(3);
        }
    }

private:
    int fd;
};

// The running client: factory, plug-in, feature set 1300 started.
class Client {
public:
    explicit Client(const std::string& pluginPath) : loader(pluginPath, "InjectConfigService") {
        factory = ZVFUnified::UnifiedFactory::create();
        std::string error;
        if (!loader.inject(factory, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::exit(2);
        }
        factory->getFeatureSetAdapter(1300)->StartFeatureSet(1300, nullptr);
        featureSet = factory->getFeatureSet<ZVFUnified::ConfigFeatureSet>();
        service = factory->getService<ZVFUnified::ConfigService>();
    }

    long state(const char* key) {
        std::wstring value;
        featureSet->getConfig(PTKCoreUtils::toWideString(key), value, false);
        return value.empty() ? kNoFile : stateOf(PTKCoreUtils::toString(value));
    }

    // Waits until the queued work of both threads has run (twice, since one
    // queues work on the other): a persistence task then has written and
    // flushed its file.
    void drain() {
        for (int round = 0; round < 2; ++round) {
            factory->getTaskDispatcher()->waitUntilIdle();
            factory->getServicesDispatcher()->waitUntilIdle();
        }
    }

    void onServicesThread(const std::function<void()>& body) {
        factory->getServicesDispatcher()->enqueueBlock(
            std::make_shared<PTKCoreUtils::FunctionTask>(body, "crash writer"), false, true);
    }

    ZVFUnified::PluginLoader loader;
    std::shared_ptr<ZVFUnified::UnifiedFactory> factory;
    std::shared_ptr<ZVFUnified::ConfigFeatureSet> featureSet;
    std::shared_ptr<ZVFUnified::ConfigService> service;
};

std::size_t temporariesIn(const std::string& directory) {
    std::size_t count = 0;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(directory, ignored)) {
        if (entry.path().filename().string().find(".tmp-") != std::string::npos) {
            ++count;
        }
    }
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s PLUGIN REPORT_FD SEED\n", argv[0]);
        return 2;
    }
    const Reporter report(std::atoi(argv[2]));
    std::mt19937 random(static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)));
    const std::string configDir = PTKCoreUtils::FileUtils::getConfigDirectory();
    const std::string cacheDir = configDir + "/Cache";
    const std::string settingsFile = configDir + "/nuvrixLocalConfig.dat";
    const std::string backupFile = configDir + "/nuvrixLocalConfig_backup.dat";
    const std::string cacheFile = cacheDir + "/cached" + kServerStore + ".dat";

    long settings = stateInFile(settingsFile, kSettingsKey);
    long backup = stateInFile(backupFile, kSettingsKey);
    long cache = stateInFile(cacheFile, kCacheKey);
    report.line("F " + std::to_string(settings) + " " + std::to_string(backup) + " " + std::to_string(cache));

    Client client(argv[1]);
    report.line("P " + std::to_string(client.state(kSettingsKey)) + " " + std::to_string(client.state(kCacheKey)));

    auto userStore = std::dynamic_pointer_cast<ZVFUnified::LocalFileConfigStore>(
        client.featureSet->getConfigStoreByName("LocalFileConfigStore"));
    if (!userStore) {
        std::fprintf(stderr, "no user settings store\n");
        return 2;
    }
    const std::wstring settingsKey = PTKCoreUtils::toWideString(kSettingsKey);
    long next = std::max(settings, 0L);
    long nextCache = std::max(cache, 0L);
    for (long round = 0;; ++round) {
        // The settings, through the feature set or the service.
        ++next;
        report.line("W S " + std::to_string(next));
        const std::wstring value = PTKCoreUtils::toWideString(stateText(next));
        if (random() % 2 == 0) {
            client.featureSet->setConfig(settingsKey, value);
        } else {
            client.onServicesThread([&] { client.service->setConfig(settingsKey, value); });
        }
        client.drain();
        report.line("A S " + std::to_string(next));

        // The backup copy of the settings just written.
        if (round == 0 || random() % 3 == 0) {
            report.line("W B " + std::to_string(next));
            userStore->backupConfigFile();
            report.line("A B " + std::to_string(next));
        }

        // The cache file of a server store added again.
        if (round == 0 || random() % 3 == 0) {
            ++nextCache;
            report.line("W C " + std::to_string(nextCache));
            client.featureSet->addConfigStore(std::make_shared<CrashServerStore>(nextCache));
            client.drain();
            report.line("A C " + std::to_string(nextCache));
        }

        if (round == 0) {
            report.line("T " + std::to_string(temporariesIn(configDir) + temporariesIn(cacheDir)));
        }
    }
}
