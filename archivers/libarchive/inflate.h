// A raw deflate decoder for the variant zlib does not know: Deflate64 (ZIP
// method 9), which has a 64 KiB window, length code 285 meaning 3 plus 16
// extra bits, and distance codes 30 and 31. Plain deflate is decoded by the
// same code (so both can be checked against zlib's output); the ZIP reader
// uses zlib for it, which is faster.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "archivers/common/reader.h"

namespace arc {

enum class DeflateVariant : uint8_t { Deflate, Deflate64 };

// Gives the next compressed bytes: fills at most `capacity` bytes of `buf`
// and returns how many, 0 at the end of the input.
using ByteSource = std::function<size_t(uint8_t* buf, size_t capacity)>;

// Decodes one raw stream (no zlib or gzip wrapper) up to its last block.
// Corrupt for broken data or input that ends early, Aborted when the sink
// refuses data. Bytes after the last block are not read further.
Result inflateRaw(DeflateVariant variant, const ByteSource& source, Sink& sink);

}  // namespace arc
