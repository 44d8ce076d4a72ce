#include "PTKCoreUtils/FstreamUtils.h"

namespace PTKCoreUtils {

bool FstreamUtils::open(std::fstream& stream, const std::string& path, std::ios_base::openmode mode) {
    stream.open(path, mode);
    return stream.is_open();
}

bool FstreamUtils::open(std::ifstream& stream, const std::string& path, std::ios_base::openmode mode) {
    stream.open(path, mode | std::ios_base::in);
    return stream.is_open();
}

}  // namespace PTKCoreUtils
