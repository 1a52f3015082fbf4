// LZMA and xz streams name the size of their dictionary in their headers,
// and the decoder allocates it before it reads any data: a few hostile bytes
// can ask for 4 GiB. libarchive sets no memory limit, so the headers are
// read here first and a stream that asks for more than we allow is refused.
#pragma once

#include <cstdint>
#include <string>

#include "archivers/common/reader.h"

namespace arc {

// The largest dictionary we decode with; common tools use at most 64 MiB.
inline constexpr uint64_t kMaxLzmaDictionary = uint64_t(256) << 20;

// The data of a ZIP entry whose local header stands at `localOffset`:
// LZMA (method 14) and xz (method 95) are checked, other methods pass.
Result checkZipEntryDictionary(const std::string& posixPath, uint64_t localOffset, uint16_t method,
                               uint64_t packedSize);

// A file that is an xz stream, or an rpm package with an xz payload: every
// block of every stream up to the end of the file. Other files pass.
Result checkXzFile(const std::string& posixPath);

}  // namespace arc
