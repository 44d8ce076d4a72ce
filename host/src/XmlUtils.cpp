#include "PTKCoreUtils/XmlUtils.h"

namespace PTKCoreUtils {

void XmlUtils::xmlBufferFreer(xmlBufferPtr buffer) {
    if (buffer != nullptr) {
        xmlBufferFree(buffer);
    }
}

}  // namespace PTKCoreUtils
