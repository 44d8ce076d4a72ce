#ifndef CONFIG_LOCALFILECONFIGSTORE_H
#define CONFIG_LOCALFILECONFIGSTORE_H

#include <memory>
#include <string>
#include <vector>

#include <libxml/tree.h>

#include "ConfigMap.h"
#include "ConfigServiceExport.h"
#include "ConfigStore.h"
#include "HashedConfigLookup.h"
#include "IndexedConfigMap.h"
#include "zvf/Mutex.h"
#include "zvf/SecureString.h"

namespace ZVFUnified {

class ConfigFileCacheTimer;

// A store that keeps its values in a small XML file of its own:
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <Nuvrix>
//    <userConfig name="key" value="value"/>
//   </Nuvrix>
//
// Two kinds exist: the user's settings ("LocalFileConfigStore", writable,
// persisted on request to the encrypted "nuvrixLocalConfig.dat" in the
// configuration directory, with a guarded backup copy), and the read-only
// defaults store that reads the plain "nuvrix-config-defaults.xml" from the
// resources directory. A plain file that does not parse is moved aside to
// its "-backup.xml" name; an encrypted settings file that cannot be read or
// parsed is kept, and moved aside to its "_unreadable" name before the store
// first writes the settings file again.
//
// Every entry the store accepts comes back whole from its file: keys and
// values holding characters XML cannot carry are written in escaped form
// (XmlSafeText), and an entry the file could not give back (an empty key,
// or one that would grow the file beyond what the parser reads) is refused
// by storeValue.
//
// Always held by shared pointer. Thread-safe: lookups and writes may come
// from any thread and persistValues from the task thread. Two recursive
// locks: the file lock serialises reading and writing the files, the values
// lock guards the maps and flags. The file lock is always taken before the
// values lock, a thread holding only the values lock never waits for the
// file lock, and no file is read, written or made under the values lock: a
// lookup waits at most while a write copies and serialises the values.
class CONFIGSERVICE_API LocalFileConfigStore : public ConfigStore,
                                               public std::enable_shared_from_this<LocalFileConfigStore>,
                                               public HashedConfigLookup {
public:
    // The user's settings store: "nuvrixLocalConfig.dat" (backup
    // "nuvrixLocalConfig_backup.dat") in the configuration directory,
    // encrypted, writable.
    LocalFileConfigStore(const std::string& name, int priority, bool isLocal);
    // A store over directory/fileName; the backup name is fileName with
    // "_backup" inserted before its first '.'. Reads the file through
    // encrypted storage when encrypted is true, else as plain XML.
    LocalFileConfigStore(const std::string& name, int priority, const std::string& directory,
                         const std::string& fileName, bool isLocal, bool isReadOnly, bool encrypted);
    ~LocalFileConfigStore() override;
    LocalFileConfigStore(const LocalFileConfigStore&) = delete;
    LocalFileConfigStore& operator=(const LocalFileConfigStore&) = delete;

    // ConfigStore:
    bool getValue(const std::wstring& key, std::wstring& value) override;
    // "VVM_Mailstore_Server_0" (any case) is stored as "VoicemailPrimaryServer".
    // False, with a log line, for an entry the settings file could not give
    // back whole (see putValue).
    bool storeValue(const std::wstring& key, const std::wstring& value) override;
    std::vector<std::wstring> getKeys() override;
    bool removeValue(const std::wstring& key) override;
    void removeAllValues() override;
    bool isReadOnly() override;
    std::string getName() override;
    int getPriority() override;
    // Writes the settings file unless nothing changed since the last call.
    void persistValues() override;
    // From now on the store never serialises its values.
    void destroy() override;
    bool isLocal() override;
    bool waitForStoreReady() override;
    bool shouldCacheConfigStore() override;

    // HashedConfigLookup:
    bool getValueHashed(const std::wstring& key, std::size_t hash, std::wstring& value) override;

    // Kept for the store's owner; the store takes no action on it.
    void setTimer(std::shared_ptr<ConfigFileCacheTimer> timer);
    // Writes the backup copy unless that would overwrite the last readable
    // copy while the settings file is broken.
    void backupConfigFile();
    // Reads the plain XML file; an invalid one is moved aside. False only
    // when the file does not exist or is not a regular file (a FIFO is
    // never waited on).
    bool readFromFile();
    // Reads the file through encrypted storage. False when it cannot be read.
    bool readFromEncryptedFile();
    // The user-config document of the values; out is left unchanged for a
    // read-only or destroyed store.
    void getDataString(zvf::SecureString& out);
    // Reads every "userConfig" element of node, its following siblings and
    // their descendants, in document order.
    void processXml(xmlNodePtr node);
    // Stores the entry of one "userConfig" element; the first occurrence of a
    // key wins.
    void processUserConfigXml(xmlNodePtr node);
    void createConfigDirectory();
    // Writes targetFileName (the settings or the backup file) when the rule
    // of checkIfGoodToWrite allows it.
    void persistValuesImpl(const std::string& targetFileName);
    // With checkTargetItself, whether the target is absent or readable;
    // otherwise the same question about its counterpart (the backup for the
    // settings file, the settings file for anything else).
    bool checkIfGoodToWrite(const std::string& targetFileName, bool checkTargetItself);

private:
    // Stores the entry unless the settings file could not hold it or give it
    // back (an empty key, a document grown beyond what the parser reads); a
    // refusal is logged at level 2. Values lock held or taken.
    bool putValue(const std::wstring& key, const std::wstring& value);
    // Takes what a read collected into the values (under the values lock,
    // for as long as a swap takes): entries the values already hold keep
    // their value.
    void adoptReadValues();
    // valuesDocumentBytes, counted once after a read (values lock held):
    // reading the file at start does not pay for a figure only writes need.
    std::size_t documentBytesOfValues();
    // Serialises under the values lock and writes directory + target.
    void writeTarget(const std::string& targetFileName);
    // Writes data to directory + target through encrypted storage; a
    // settings file that could not be read is first moved aside to its
    // "_unreadable" name. False when the storage did not write it.
    bool writeFile(const std::string& targetFileName, const zvf::SecureString& data);

    std::string name;
    int priority;
    bool local;
    bool readOnly;
    bool destroyed = false;
    zvf::Mutex valuesLock;  // recursive; guards the two maps, the flags and timer
    zvf::Mutex fileLock;    // recursive; serialises reading and writing the files
    IndexedConfigMap values;
    ConfigMap lastPersistedValues;  // the values as last handed to storage by persistValues
    std::size_t valuesDocumentBytes = 0;  // at most what the values take in the settings document
    bool valuesDocumentBytesKnown = true;  // false after a read, until a write needs the figure
    std::string directory;          // ends with the file separator unless empty
    std::string fileName;
    std::string backupFileName;
    std::shared_ptr<ConfigFileCacheTimer> timer;
    bool keepUnreadableFile = false;  // guarded by fileLock; the settings file could not be read or parsed
    bool lastWriteFailed = false;     // guarded by fileLock; the settings file may not hold lastPersistedValues
    // The entries of the file being read, collected outside the values lock
    // so that reading and parsing never block lookups; guarded by fileLock.
    ConfigMap readValues;
};

}  // namespace ZVFUnified

#endif
