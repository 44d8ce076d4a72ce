#ifndef PTKCOREUTILS_XMLUTILS_H
#define PTKCOREUTILS_XMLUTILS_H

#include <libxml/tree.h>

#include "NuvrixHostExport.h"

namespace PTKCoreUtils {

class NUVRIX_HOST_API XmlUtils {
public:
    // Deleter for libxml2 buffers held in smart pointers.
    static void xmlBufferFreer(xmlBufferPtr buffer);
};

}  // namespace PTKCoreUtils

#endif
