#ifndef CONFIG_XMLDOCFREER_H
#define CONFIG_XMLDOCFREER_H

#include <libxml/tree.h>

namespace ZVFUnified {

// Deleter for libxml2 documents held in smart pointers:
// std::shared_ptr<xmlDoc>(doc, XmlDocFreer()). A null document is ignored.
struct XmlDocFreer {
    void operator()(xmlDocPtr doc) const {
        if (doc != nullptr) {
            xmlFreeDoc(doc);
        }
    }
};

}  // namespace ZVFUnified

#endif
