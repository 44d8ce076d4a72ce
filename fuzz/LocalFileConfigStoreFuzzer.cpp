// Fuzzes the settings-file store on the two files it reads: the same bytes
// as a plain XML file (how the defaults file is read) and, encrypted through
// the host's storage, as the user's settings file. Beside surviving any
// document, the settings read from the encrypted file must survive the
// store's own write and read back unchanged: a fresh store given exactly
// those values persists them, and a third store reading that file holds the
// same values.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "FuzzEnvironment.h"
#include "caseInsensitiveMapComparator.h"
#include "LocalFileConfigStore.h"
#include "PTKCoreUtils/FileUtils.h"
#include "PTKCoreUtils/StringUtils.h"
#include "zvf/SecureString.h"
#include "zvf/storage/EncryptFileUtils.h"

using ZVFUnified::LocalFileConfigStore;
// Keys as the stores compare them: without regard to letter case.
using Values = std::map<std::wstring, std::wstring, ZVFUnified::caseInsensitiveMapComparator>;

namespace {

struct Directories {
    std::string plain;
    std::string encrypted;
    std::string rewritten;
};

const Directories& directories() {
    static const Directories made = [] {
        const std::string& config = nuvrixfuzz::environment().configDir;
        Directories d{config + "/plain", config + "/encrypted", config + "/rewritten"};
        PTKCoreUtils::FileUtils::createDirectory(d.plain);
        PTKCoreUtils::FileUtils::createDirectory(d.encrypted);
        PTKCoreUtils::FileUtils::createDirectory(d.rewritten);
        return d;
    }();
    return made;
}

Values valuesOf(LocalFileConfigStore& store) {
    Values values;
    for (const std::wstring& key : store.getKeys()) {
        std::wstring value;
        FUZZ_CHECK(store.getValue(key, value), "listed key [" + PTKCoreUtils::toString(key) + "] is not found");
        values[key] = value;
    }
    return values;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const Directories& dirs = directories();
    const std::string document(reinterpret_cast<const char*>(data), size);

    nuvrixfuzz::clearDirectory(dirs.plain);
    nuvrixfuzz::writeFile(dirs.plain + "/settings.xml", document);
    {
        LocalFileConfigStore plain("PlainFileConfigStore", 1000, dirs.plain, "settings.xml", true, true, false);
        valuesOf(plain);
    }

    nuvrixfuzz::clearDirectory(dirs.encrypted);
    FUZZ_CHECK(zvf::storage::EncryptFileUtils::writeDataToFile(dirs.encrypted + "/nuvrixLocalConfig.dat",
                                                               zvf::SecureString(document),
                                                               FileCategoryType::Configuration),
               "cannot write the encrypted settings file");
    Values read;
    {
        LocalFileConfigStore encrypted("LocalFileConfigStore", 20, dirs.encrypted, "nuvrixLocalConfig.dat", false,
                                       false, true);
        read = valuesOf(encrypted);
    }

    nuvrixfuzz::clearDirectory(dirs.rewritten);
    Values stored;
    {
        auto writer = std::make_shared<LocalFileConfigStore>("LocalFileConfigStore", 20, dirs.rewritten,
                                                             "nuvrixLocalConfig.dat", false, false, true);
        for (const auto& entry : read) {
            // A refusal is logged and leaves the entry out; what was accepted
            // must come back.
            if (writer->storeValue(entry.first, entry.second)) {
                stored[entry.first] = entry.second;
            }
        }
        writer->persistValues();
    }
    LocalFileConfigStore reread("LocalFileConfigStore", 20, dirs.rewritten, "nuvrixLocalConfig.dat", false, false,
                                true);
    const Values back = valuesOf(reread);
    FUZZ_CHECK(back.size() == stored.size(), "the rewritten settings file holds a different number of entries");
    for (const auto& entry : stored) {
        const auto found = back.find(entry.first);
        FUZZ_CHECK(found != back.end(), "key [" + PTKCoreUtils::toString(entry.first) + "] lost in the settings file");
        FUZZ_CHECK(found->second == entry.second, "value of key [" + PTKCoreUtils::toString(entry.first) +
                                                      "] changed in the settings file: [" +
                                                      PTKCoreUtils::toString(entry.second) + "] became [" +
                                                      PTKCoreUtils::toString(found->second) + "]");
    }
    return 0;
}
