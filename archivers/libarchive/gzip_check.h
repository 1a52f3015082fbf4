// libarchive decodes gzip without checking the CRC-32 and length stored
// after each member, and tar or cpio data carries no checksum of its own:
// without this check a damaged .tar.gz or .gz would extract damaged data as
// if nothing were wrong.
#pragma once

#include <string>

#include "archivers/common/reader.h"

namespace arc {

// Decodes every member of a gzip file (to nowhere) and checks each one's
// CRC-32 and length. Data after the last member that does not start another
// member is ignored, as gzip does with padding.
Result checkGzipFile(const std::string& posixPath);

}  // namespace arc
