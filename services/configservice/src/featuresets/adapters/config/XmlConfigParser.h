#ifndef CONFIG_XMLCONFIGPARSER_H
#define CONFIG_XMLCONFIGPARSER_H

#include <memory>
#include <string>

#include <libxml/tree.h>

#include "ConfigMap.h"

namespace ZVFUnified {

// The companion name under which encrypted storage keeps a file: path with
// everything from its last '.' (searched in the whole path) replaced by
// ".dat", or ".dat" appended when there is no '.'. Used to name files in
// log lines.
std::string getEncryptedFileName(const std::string& path);

// Reads configuration XML into a map of key to value and writes a map back
// out as a cached-configuration document:
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <Nuvrix>
//    <CachedConfig>
//     <key>value</key>
//    </CachedConfig>
//   </Nuvrix>
//
// An entry whose key is no XML element name, or whose key or value holds a
// character XML cannot carry, is written in the escaped form of
// XmlSafeText instead, so that it cannot make the whole document unreadable:
//
//     <entry escaped="true"><key>key</key><value>value</value></entry>
//
// and so is a value with white space around it, which the plain form would
// lose (an entry's plain text is read trimmed).
//
// An entry too long for one XML text is left out with a log line, and a
// document too large to be read back is not written. An entry whose key the
// writer is told is sensitive carries sensitive="true", so that a cached
// copy of a store still hides the secrets its source marked.
//
// Reading accepts any root element, every element child of the root as a
// group and every element child of a group as an entry named by its
// (lower-cased) element name, or by its key child when it is in escaped
// form; an entry may carry a "sensitive" attribute.
// Temporary copies of values are wiped, and so is the text of the two
// well-known password keys inside the parsed tree.
//
// Stateless: each operation works on what it is given and takes no lock;
// the caller owns and serialises the map and the key set.
class XmlConfigParser {
public:
    XmlConfigParser() = delete;

    // Serialises configMap as a cached-configuration document into out; the
    // entries of sensitiveKeys are marked sensitive. False, with out
    // unchanged, when the document would be too large to be read back.
    static bool writeToMemory(std::string& out, const ConfigMap& configMap,
                              const ConfigKeySet& sensitiveKeys = ConfigKeySet());
    // Serialises configMap and stores it through encrypted storage; nothing
    // is written when writeToMemory fails.
    static bool writeToFile(const std::string& path, const ConfigMap& configMap,
                            const ConfigKeySet& sensitiveKeys = ConfigKeySet());
    // Parses xmlText and saves it as a plain XML file at path.
    static bool writeToFile(const std::string& path, const std::string& xmlText);

    // Same as readFromEncryptedFile.
    static bool readFromFile(const std::string& path, ConfigMap& configMap, ConfigKeySet& sensitiveKeys);
    // Clears configMap, then reads the document through encrypted storage.
    static bool readFromEncryptedFile(const std::string& path, ConfigMap& configMap, ConfigKeySet& sensitiveKeys);
    // Clears configMap, then parses the document held in xmlText.
    static bool readFromMemory(const std::string& xmlText, ConfigMap& configMap, ConfigKeySet& sensitiveKeys);

    // Adds the entries of every group of doc to configMap (which is not
    // cleared); the first occurrence of a key wins.
    static bool parseXmlConfig(std::shared_ptr<xmlDoc> doc, ConfigMap& configMap, ConfigKeySet& sensitiveKeys);
    // Adds the entries of one group.
    static void parseXmlGroup(std::shared_ptr<xmlDoc> doc, xmlNodePtr groupNode, ConfigMap& configMap,
                              ConfigKeySet& sensitiveKeys);
    // Whether the entry element carries a "sensitive" attribute (any letter
    // case) whose text is true.
    static bool parseSensitiveAttribute(xmlNodePtr node);
    // The trimmed, joined text and CDATA content of an entry that holds
    // nothing else.
    static std::string extractStringFromXmlNode(xmlNodePtr node);
    // The whole markup of an entry with structured content, its own tags
    // included.
    static std::string extractXmlStringFromXmlNode(std::shared_ptr<xmlDoc> doc, xmlNodePtr node);
};

}  // namespace ZVFUnified

#endif
