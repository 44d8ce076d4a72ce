#ifndef PTKCOREUTILS_FSTREAMUTILS_H
#define PTKCOREUTILS_FSTREAMUTILS_H

#include <fstream>
#include <string>

#include "NuvrixHostExport.h"

namespace PTKCoreUtils {

class NUVRIX_HOST_API FstreamUtils {
public:
    // Opens path (UTF-8) with mode; true when the stream is open.
    static bool open(std::fstream& stream, const std::string& path, std::ios_base::openmode mode);
    static bool open(std::ifstream& stream, const std::string& path, std::ios_base::openmode mode);
};

}  // namespace PTKCoreUtils

#endif
