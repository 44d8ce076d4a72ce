#include "LocalFileConfigStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "HostTest.h"
#include "Processing/TaskDispatcher.h"
#include "StoreManagerTest.h"
#include "TempDir.h"
#include "logging/LogCapture.h"
#include "logging/ZVFLogger.h"
#include "zvf/SecureString.h"

using ZVFUnified::LocalFileConfigStore;
using storemanagertest::contentOf;
using storemanagertest::valueOf;

namespace {

const char* const MAIN = "nuvrixLocalConfig.dat";
const char* const BACKUP = "nuvrixLocalConfig_backup.dat";

// The decrypted content of an encrypted file, or "<unreadable>".
std::string decryptFile(const std::string& path) {
    return nuvrixtest::readEncrypted(path).value_or("<unreadable>");
}

void writeEncrypted(const std::string& path, const std::string& text) {
    ASSERT_TRUE(nuvrixtest::writeEncrypted(path, text));
}

std::string userConfig(const std::string& entries) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Nuvrix>\n" + entries + "</Nuvrix>\n";
}

// The user-config document holding the one entry name=value.
std::string userConfigOf(const std::string& name, const std::string& value) {
    return userConfig(" <userConfig name=\"" + name + "\" value=\"" + value + "\"/>\n");
}

class LocalFileConfigStoreTest : public nuvrixtest::HostTest {
protected:
    std::shared_ptr<LocalFileConfigStore> userStore() {
        return std::make_shared<LocalFileConfigStore>("LocalFileConfigStore", 20, false);
    }
    // The plain defaults store, over a defaults file holding text.
    std::shared_ptr<LocalFileConfigStore> defaultsOver(const std::string& text) {
        nuvrixtest::writeFileBytes(resourcesDir + "/nuvrix-config-defaults.xml", text);
        return defaultsStore();
    }
    std::shared_ptr<LocalFileConfigStore> defaultsStore() {
        return std::make_shared<LocalFileConfigStore>("nuvrix-config-defaults.xml", 2147483647, resourcesDir,
                                                      "nuvrix-config-defaults.xml", true, true, false);
    }
    std::string mainPath() const { return configDir + "/" + MAIN; }
};

TEST_F(LocalFileConfigStoreTest, ValuesSurviveInTheEncryptedFileAcrossInstances) {
    auto first = userStore();
    EXPECT_FALSE(first->isReadOnly());
    EXPECT_FALSE(first->isLocal());
    EXPECT_TRUE(first->storeValue(L"Key", L"v & <x> \"q\"\nline"));
    EXPECT_TRUE(first->storeValue(L"ConnectionPassword", L"pw"));
    first->persistValues();
    EXPECT_EQ(std::string::npos, nuvrixtest::readFileBytes(mainPath()).find("userConfig"));

    auto second = userStore();
    EXPECT_EQ((std::vector<std::wstring>{L"connectionpassword", L"key"}), second->getKeys());
    EXPECT_EQ(L"v & <x> \"q\"\nline", valueOf(*second, L"KEY"));
    EXPECT_EQ(L"pw", valueOf(*second, L"connectionPassword"));
}

TEST_F(LocalFileConfigStoreTest, DataStringIsTheUserConfigDocument) {
    auto store = userStore();
    store->storeValue(L"B", L"2");
    store->storeValue(L"a", L"x\"<");
    zvf::SecureString data;
    store->getDataString(data);
    EXPECT_EQ(userConfig(" <userConfig name=\"a\" value=\"x&quot;&lt;\"/>\n"
                         " <userConfig name=\"B\" value=\"2\"/>\n"),
              nuvrixtest::plainOf(data));
}

TEST_F(LocalFileConfigStoreTest, CharactersXmlCannotCarryAreEscapedAndComeBackWholeBesideTheOtherEntries) {
    const std::wstring odd[] = {L"a\x01" L"b", L"\x1F", L"\xFFFE\xFFFF", std::wstring(1, wchar_t(0xD800)) + L"z",
                                std::wstring(L"a\0b", 3), L"\\u0041\\\x0B", std::wstring(1, wchar_t(0x110000))};
    auto first = userStore();
    ASSERT_TRUE(first->storeValue(L"plain", L"C:\\dir\\u0041"));
    for (std::size_t i = 0; i < std::size(odd); ++i) {
        ASSERT_TRUE(first->storeValue(L"value" + std::to_wstring(i), odd[i]));
        ASSERT_TRUE(first->storeValue(L"key" + std::to_wstring(i) + odd[i], L"v"));
    }
    first->persistValues();
    EXPECT_EQ(contentOf(*first), contentOf(*userStore()));

    auto one = userStore();
    one->removeAllValues();
    one->storeValue(L"k\x01", std::wstring(L"a\\b\0", 4));
    zvf::SecureString data;
    one->getDataString(data);
    EXPECT_EQ(userConfig(" <userConfig name=\"k\\u0001\" value=\"a\\\\b\\u0000\" escaped=\"true\"/>\n"),
              nuvrixtest::plainOf(data));
}

TEST_F(LocalFileConfigStoreTest, EntriesTheFileCouldNotGiveBackAreRefusedAtTheWrite) {
    auto store = userStore();
    LogCapture log;
    ASSERT_TRUE(store->storeValue(L"kept", L"1"));
    EXPECT_FALSE(store->storeValue(L"", L"v"));
    EXPECT_FALSE(store->storeValue(L"long", std::wstring(10000001, L'x')));
    // Three million bytes in the file each: the fourth would take the file
    // beyond what is parsed back.
    for (int i = 1; i <= 4; ++i) {
        EXPECT_EQ(i < 4, store->storeValue(L"big" + std::to_wstring(i), std::wstring(500000, L'"')));
    }
    const std::string refused = "Refused to store the value of key [";
    const std::string tooBig = "]: the settings file would grow beyond the 10000000 bytes it can be read back from";
    EXPECT_EQ((std::vector<std::pair<int, std::string>>{
                  {2, refused + "]: the key is empty"}, {2, refused + "long" + tooBig}, {2, refused + "big4" + tooBig}}),
              storemanagertest::loggedBy(log, "ConfigService-LocalFileConfigStore"));
    EXPECT_EQ((std::vector<std::wstring>{L"big1", L"big2", L"big3", L"kept"}), store->getKeys());
    store->persistValues();
    EXPECT_TRUE(contentOf(*store) == contentOf(*userStore()));

    // As many entries as the parser reads back, and not one more.
    const std::string directory = temp->file("many");
    LocalFileConfigStore many("LocalFileConfigStore", 20, directory, MAIN, false, false, true);
    for (int i = 0; i < 24999; ++i) {
        ASSERT_TRUE(many.storeValue(L"k" + std::to_wstring(i), L"\x01"));
    }
    EXPECT_FALSE(many.storeValue(L"one more", L"v"));
    EXPECT_TRUE(many.storeValue(L"k0", L"replaced"));
    EXPECT_EQ(1u, log.count(refused + "one more]: the settings file holds the 24999 entries it can be read back with", 2));
    many.persistValues();
    LocalFileConfigStore reread("LocalFileConfigStore", 20, directory, MAIN, false, false, true);
    EXPECT_EQ(24999u, reread.getKeys().size());
}

TEST_F(LocalFileConfigStoreTest, ReadOnlyOrDestroyedStoresSerialiseNothingAndNeverEmptyTheFile) {
    auto store = userStore();
    store->storeValue(L"Kept", L"1");
    store->persistValues();
    store->destroy();
    store->storeValue(L"Lost", L"2");
    zvf::SecureString data("unchanged");
    store->getDataString(data);
    EXPECT_EQ("unchanged", nuvrixtest::plainOf(data));
    store->persistValues();
    store->backupConfigFile();
    EXPECT_EQ(userConfigOf("Kept", "1"), decryptFile(mainPath()));
    EXPECT_FALSE(std::filesystem::exists(configDir + "/" + BACKUP));

    auto defaults = defaultsOver("<Nuvrix><userConfig name=\"d\" value=\"1\"/></Nuvrix>");
    EXPECT_TRUE(defaults->isReadOnly());
    EXPECT_TRUE(defaults->isLocal());
    defaults->storeValue(L"Other", L"x");
    defaults->getDataString(data);
    EXPECT_EQ("unchanged", nuvrixtest::plainOf(data));
    defaults->persistValues();
    EXPECT_EQ("<Nuvrix><userConfig name=\"d\" value=\"1\"/></Nuvrix>",
              nuvrixtest::readFileBytes(resourcesDir + "/nuvrix-config-defaults.xml"));
}

TEST_F(LocalFileConfigStoreTest, EntriesAreReadInAnyCaseAtAnyDepthAndTheFirstOccurrenceWins) {
    auto store = defaultsOver("<Nuvrix>"
                              "<userConfig name=\"First\" value=\"1\"/><userConfig name=\"FIRST\" value=\"2\"/>"
                              "<group><deeper><USERCONFIG NAME=\"Nested\" VALUE=\"n\"/></deeper></group>"
                              "<userConfig value=\"orphan\"/><userConfig name=\"\" value=\"blank\"/>"
                              "<userConfig name=\"NoValue\"/><userConfig name=\"x\" value=\"y\" extra=\"z\"/>"
                              "<other name=\"notAnEntry\" value=\"v\"/>"
                              "</Nuvrix>");
    EXPECT_EQ((std::vector<std::wstring>{L"first", L"nested", L"novalue", L"x"}), store->getKeys());
    EXPECT_EQ(L"1", valueOf(*store, L"First"));
    EXPECT_EQ(L"n", valueOf(*store, L"nested"));
    EXPECT_EQ(L"", valueOf(*store, L"NOVALUE"));
}

TEST_F(LocalFileConfigStoreTest, OldVoicemailKeyIsRenamedExceptWhenTheDefaultsFileIsRead) {
    auto store = userStore();
    store->storeValue(L"vvm_mailstore_server_0", L"s1");
    EXPECT_EQ((std::vector<std::wstring>{L"VoicemailPrimaryServer"}), store->getKeys());

    const std::string entry = "<Nuvrix><userConfig name=\"VVM_Mailstore_Server_0\" value=\"s2\"/></Nuvrix>";
    writeEncrypted(mainPath(), entry);
    EXPECT_EQ((std::vector<std::wstring>{L"VoicemailPrimaryServer"}), userStore()->getKeys());

    auto defaults = defaultsOver(entry);
    EXPECT_EQ((std::vector<std::wstring>{L"vvm_mailstore_server_0"}), defaults->getKeys());
    // Stored through storeValue the key is renamed in every store.
    defaults->storeValue(L"VVM_MAILSTORE_SERVER_0", L"s3");
    EXPECT_EQ(L"s3", valueOf(*defaults, L"VoicemailPrimaryServer"));

    nuvrixtest::writeFileBytes(resourcesDir + "/other.xml", entry);
    LocalFileConfigStore other("OtherStore", 30, resourcesDir, "other.xml", true, true, false);
    EXPECT_EQ((std::vector<std::wstring>{L"VoicemailPrimaryServer"}), other.getKeys());
}

TEST_F(LocalFileConfigStoreTest, PersistingUnchangedValuesWritesOnce) {
    nuvrixtest::LogLevelScope debug(5);
    LogCapture log;
    auto store = userStore();
    store->storeValue(L"A", L"1");
    store->persistValues();
    ASSERT_TRUE(std::filesystem::exists(mainPath()));
    std::filesystem::remove(mainPath());
    store->persistValues();
    EXPECT_FALSE(std::filesystem::exists(mainPath()));
    EXPECT_EQ(1u, log.count("Same content has been saved.", 5));

    store->storeValue(L"A", L"2");
    store->persistValues();
    EXPECT_EQ(userConfigOf("A", "2"), decryptFile(mainPath()));
}

TEST_F(LocalFileConfigStoreTest, BackupIsKeptOnlyWhileTheSettingsFileIsBrokenAndTheBackupIsNot) {
    // Each file is readable, unreadable (a torn write) or absent.
    const char* const states[] = {"readable", "unreadable", "absent"};
    const std::string oldContent = userConfigOf("k", "old");
    int index = 0;
    for (const std::string main : states) {
        for (const std::string backup : states) {
            SCOPED_TRACE("main " + main + ", backup " + backup);
            const std::string directory = temp->file("case" + std::to_string(index++));
            std::filesystem::create_directories(directory);
            for (const auto& file : {std::make_pair(main, MAIN), std::make_pair(backup, BACKUP)}) {
                if (file.first == "readable") {
                    writeEncrypted(directory + "/" + file.second, oldContent);
                } else if (file.first == "unreadable") {
                    nuvrixtest::writeFileBytes(directory + "/" + file.second, "torn write");
                }
            }
            LogCapture log;
            LocalFileConfigStore store("LocalFileConfigStore", 20, directory, MAIN, false, false, true);
            store.storeValue(L"k", L"new");
            store.backupConfigFile();

            const bool kept = main == "unreadable" && backup != "unreadable";
            EXPECT_EQ(kept ? (backup == "readable" ? oldContent : "<unreadable>") : userConfigOf("k", "new"),
                      decryptFile(directory + "/" + BACKUP));
            EXPECT_EQ(kept ? 1u : 0u, log.count("Failed to read nuvrixLocalConfig/backup file, so don't write to "
                                                "nuvrixLocalConfig_backup.dat to keep file good.",
                                                2));
            EXPECT_EQ(main == "unreadable" && backup == "unreadable" ? 1u : 0u,
                      log.count("Both files are broken, write to nuvrixLocalConfig_backup.dat", 2));
        }
    }
}

TEST_F(LocalFileConfigStoreTest, GuardedWriteOfTheSettingsFileLooksAtTheBackup) {
    nuvrixtest::writeFileBytes(configDir + "/" + BACKUP, "torn write");
    writeEncrypted(mainPath(), userConfigOf("k", "old"));
    auto store = userStore();
    store->storeValue(L"k", L"new");
    store->persistValuesImpl(MAIN);
    EXPECT_EQ(userConfigOf("k", "old"), decryptFile(mainPath()));
    EXPECT_TRUE(store->checkIfGoodToWrite(MAIN, true));
    EXPECT_FALSE(store->checkIfGoodToWrite(MAIN, false));
    EXPECT_FALSE(store->checkIfGoodToWrite(BACKUP, true));
    EXPECT_TRUE(store->checkIfGoodToWrite(BACKUP, false));

    std::filesystem::remove(configDir + "/" + BACKUP);
    store->persistValuesImpl(MAIN);
    EXPECT_EQ(userConfigOf("k", "new"), decryptFile(mainPath()));
    // That write counts as persisted: an unchanged persistValues writes nothing.
    std::filesystem::remove(mainPath());
    store->persistValues();
    EXPECT_FALSE(std::filesystem::exists(mainPath()));
}

TEST_F(LocalFileConfigStoreTest, InvalidPlainDefaultsFileIsMovedAsideAndLogged) {
    const std::string broken = "<Nuvrix><userConfig name=\"a\" value=\"1\">";
    LogCapture log;
    auto store = defaultsOver(broken);
    EXPECT_TRUE(store->getKeys().empty());
    EXPECT_FALSE(std::filesystem::exists(resourcesDir + "/nuvrix-config-defaults.xml"));
    EXPECT_EQ(broken, nuvrixtest::readFileBytes(resourcesDir + "/nuvrix-config-defaults-backup.xml"));
    EXPECT_EQ(1u, log.count("Error Invalid XML syntax detected - Unable to read localFileConfigStore configuration\n"
                            "renaming invalid file to: nuvrix-config-defaults-backup.xml and creating new blank XML "
                            "document",
                            2));
    EXPECT_EQ(1u, log.count("contents of invalid xml with string length: " + std::to_string(broken.size()) + "\n" +
                                broken,
                            2));
    for (const auto& record : log.records()) {
        if (record.level <= 3) {
            EXPECT_EQ("ConfigService-LocalFileConfigStore", record.logger);
        }
    }

    // Nothing is left to read, which is logged as well.
    LogCapture again;
    EXPECT_FALSE(store->readFromFile());
    EXPECT_TRUE(again.contains("Read config FAILED, config file doesn't exist: " + resourcesDir +
                                   "/nuvrix-config-defaults.xml",
                               3));
}

TEST_F(LocalFileConfigStoreTest, FifoInPlaceOfThePlainFileIsRefusedWithoutWaitingAndStaysInPlace) {
    const std::string path = resourcesDir + "/nuvrix-config-defaults.xml";
    ASSERT_EQ(0, ::mkfifo(path.c_str(), 0600));
    LogCapture log;
    EXPECT_TRUE(defaultsStore()->getKeys().empty());
    EXPECT_TRUE(log.contains("Read config FAILED, config file is not a regular file: " + path, 3));
    EXPECT_FALSE(log.contains("Error Invalid XML syntax detected"));
    EXPECT_FALSE(std::filesystem::exists(resourcesDir + "/nuvrix-config-defaults-backup.xml"));
}

// Reading leaves an unreadable or invalid file in place, logged; saving moves it aside.
TEST_F(LocalFileConfigStoreTest, SettingsThatCannotBeReadAreMovedAsideWhenSavingGoesOn) {
    const std::string kept = configDir + "/nuvrixLocalConfig_unreadable.dat";
    LogCapture log;
    // Written under a key file that is then damaged (the wrong size).
    auto first = userStore();
    EXPECT_TRUE(log.contains("Failed to read config file " + mainPath(), 2));
    first->storeValue(L"k", L"old");
    first->persistValues();
    const std::string underLostKey = nuvrixtest::readFileBytes(mainPath());
    const std::string damaged = temp->file("damaged-local");
    std::filesystem::create_directories(damaged);
    nuvrixtest::writeFileBytes(damaged + "/nuvrix-storage.key", "short");
    ASSERT_EQ(0, ::chmod((damaged + "/nuvrix-storage.key").c_str(), 0600));
    setenv("NUVRIX_LOCAL_APP_DIR", damaged.c_str(), 1);
    auto second = userStore();
    EXPECT_TRUE(second->getKeys().empty());
    ASSERT_TRUE(second->storeValue(L"k", L"new"));
    second->persistValues();
    EXPECT_EQ(userConfigOf("k", "new"), decryptFile(mainPath()));
    EXPECT_EQ(underLostKey, nuvrixtest::readFileBytes(kept));
    EXPECT_TRUE(log.contains("replaced the unusable storage key file (wrong size)", 2));
    EXPECT_TRUE(log.contains("Kept the settings file that could not be read as nuvrixLocalConfig_unreadable.dat", 2));

    // A file that decrypts but does not parse is kept the same way.
    writeEncrypted(mainPath(), "<Nuvrix><userConfig name=\"k\" value=\"\x01\"/></Nuvrix>");
    auto third = userStore();
    EXPECT_TRUE(third->getKeys().empty());
    EXPECT_TRUE(log.contains("Error Invalid XML syntax detected - Unable to read localFileConfigStore configuration",
                             2));
    EXPECT_TRUE(std::filesystem::exists(mainPath()));
    third->storeValue(L"k", L"newer");
    third->persistValues();
    EXPECT_EQ("<Nuvrix><userConfig name=\"k\" value=\"\x01\"/></Nuvrix>", decryptFile(kept));
    EXPECT_EQ(userConfigOf("k", "newer"), decryptFile(mainPath()));
}

TEST_F(LocalFileConfigStoreTest, BackupNameInsertsBackupBeforeTheFirstDotAndTheDirectoryIsCreated) {
    const std::string directory = temp->file("new/sub");
    LocalFileConfigStore store("custom", 5, directory, "nuvrix-config-defaults.xml", true, false, true);
    store.storeValue(L"k", L"v");
    store.backupConfigFile();
    EXPECT_EQ(userConfigOf("k", "v"),
              decryptFile(directory + "/nuvrix-config-defaults_backup.xml"));
    store.persistValues();
    EXPECT_EQ(userConfigOf("k", "v"), decryptFile(directory + "/nuvrix-config-defaults.xml"));
}

TEST_F(LocalFileConfigStoreTest, ConcurrentWritesWhilePersistingOnTheTaskThreadLoseNoValue) {
    auto store = userStore();
    auto dispatcher = factory->getTaskDispatcher();
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([store, dispatcher, t] {
            for (int i = 0; i < 250; ++i) {
                store->storeValue(L"key" + std::to_wstring(t) + L"_" + std::to_wstring(i), std::to_wstring(i));
                if (i % 25 == 0) {
                    dispatcher->enqueue([store] { store->persistValues(); }, "ConfigStore::persistValues");
                }
                std::wstring value;
                store->getValue(L"key0_0", value);
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    dispatcher->enqueue([store] { store->persistValues(); }, "ConfigStore::persistValues");
    drainQueues();

    auto reread = userStore();
    EXPECT_EQ(1000u, reread->getKeys().size());
    EXPECT_EQ(L"249", valueOf(*reread, L"key3_249"));
}

}  // namespace
