// LZMA and xz streams name the size of their dictionary in their headers,
// and the decoder allocates it before it reads any data: a few hostile bytes
// can ask for 4 GiB. libarchive sets no memory limit, so the headers are
// read here first and a stream that asks for more than we allow is refused.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "archivers/common/reader.h"

namespace arc {

// The largest dictionary we decode with; common tools use at most 64 MiB.
inline constexpr uint64_t kMaxLzmaDictionary = uint64_t(256) << 20;
inline constexpr int64_t kFullZipScanLimit = int64_t(16) << 20;

// Every LZMA (method 14) and xz (method 95) member of a ZIP file, found by
// their local headers: libarchive decodes what the local header it lands on
// says, which in a damaged or hostile file need not be what the central
// directory lists. Files up to kFullZipScanLimit are searched for every
// local header; in larger ones (where reading it all would slow opening)
// the listed ones are checked. `packedSizes` maps local header offsets to the packed
// sizes the central directory gives, for xz members whose local header
// leaves the size to a data descriptor.
Result checkZipDictionaries(const std::string& posixPath, const std::vector<std::pair<uint64_t, uint64_t>>& packedSizes,
                            int64_t fullScanLimit = kFullZipScanLimit);

// A file that is an xz stream, or an rpm package with an xz payload: every
// block of every stream up to the end of the file. Other files pass.
Result checkXzFile(const std::string& posixPath);

}  // namespace arc
