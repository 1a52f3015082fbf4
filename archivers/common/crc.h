// Checksums of decoded data, incremental: pass the previous value (0 to start).
#pragma once

#include <cstddef>
#include <cstdint>

namespace arc {

// CRC-16 with the reflected polynomial 0xA001, start 0 (LZH, ARJ headers).
uint16_t crc16Update(uint16_t crc, const void* data, size_t size);
// CRC-32 IEEE, as zlib's crc32 (ZIP, ARJ, RAR, gzip).
uint32_t crc32Update(uint32_t crc, const void* data, size_t size);

}  // namespace arc
