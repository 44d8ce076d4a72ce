// The floor of a cold start, shared by the programs that compare one with it:
// a configuration file read (plain, or decrypted through the host's encrypted
// storage) and parsed by libxml2 as the stores parse it, with nothing else,
// and the number of entries a parsed document holds, so that a program can
// check that its floor reads every entry. Header-only: each bench program is
// a program of its own.
#ifndef BENCH_FLOORREADER_H
#define BENCH_FLOORREADER_H

#include <cstddef>
#include <memory>
#include <string>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "PTKCoreUtils/FileUtils.h"
#include "zvf/SecureString.h"
#include "zvf/SecureStringReader.h"
#include "zvf/storage/EncryptFileUtils.h"

namespace benchfloor {

struct DocFreer {
    void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};
struct ParserContextFreer {
    void operator()(xmlParserCtxtPtr context) const { xmlFreeParserCtxt(context); }
};
using Doc = std::unique_ptr<xmlDoc, DocFreer>;

// A parse as the stores make it: a context of its own, no network.
inline Doc parse(const char* data, std::size_t length) {
    std::unique_ptr<xmlParserCtxt, ParserContextFreer> context(xmlNewParserCtxt());
    return Doc(xmlCtxtReadMemory(context.get(), data, static_cast<int>(length), nullptr, nullptr, XML_PARSE_NONET));
}

inline Doc readPlainAndParse(const std::string& path) {
    std::string bytes;
    if (!PTKCoreUtils::FileUtils::readFile(path, bytes)) {
        return nullptr;
    }
    return parse(bytes.data(), bytes.size());
}

inline Doc readEncryptedAndParse(const std::string& path) {
    zvf::SecureString data;
    if (!zvf::storage::EncryptFileUtils::readDataFromFile(path, data, FileCategoryType::Configuration)) {
        return nullptr;
    }
    zvf::SecureStringReader reader;
    data.getUnsecureString(reader);
    return parse(reader.c_str(), static_cast<std::size_t>(reader.getBufSize()));
}

// Element grandchildren of the root: userConfig entries, or the entries of
// the CachedConfig group.
inline std::size_t entryCount(const Doc& doc) {
    xmlNodePtr root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (root == nullptr) {
        return 0;
    }
    std::size_t count = 0;
    for (xmlNodePtr node = root->children; node != nullptr; node = node->next) {
        if (node->type != XML_ELEMENT_NODE) {
            continue;
        }
        if (xmlStrcmp(node->name, BAD_CAST "userConfig") == 0) {
            ++count;
            continue;
        }
        for (xmlNodePtr entry = node->children; entry != nullptr; entry = entry->next) {
            count += entry->type == XML_ELEMENT_NODE;
        }
    }
    return count;
}

}  // namespace benchfloor

#endif
