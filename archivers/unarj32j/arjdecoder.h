// Decodes the data of one ARJ entry: method 0 (stored), methods 1 to 3
// (LZ77 with a 26 KiB window and block-wise prefix codes) and method 4 (LZ77
// with fixed variable-length codes). Output goes to the sink in chunks; the
// decoder never writes more than the declared original size and refuses
// matches that reach before the first byte of output.
#pragma once

#include <cstdint>

#include "archivers/common/reader.h"
#include "archivers/unarj32j/bitinput.h"

namespace arj {

// `packedSize` bytes of `in` are the entry's data; exactly `originalSize`
// bytes are written to `out` on success.
arc::Result decodeEntry(unsigned method, ByteSource& in, uint64_t packedSize, uint64_t originalSize, arc::Sink& out);

}  // namespace arj
