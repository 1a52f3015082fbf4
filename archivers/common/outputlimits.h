// How much an extraction may write. A hostile archive of a few kilobytes
// can decode to gigabytes; a sound browser extracts into the shared
// temporary folder, so both the entry and the disk are held to limits:
// - an entry's data may pass `ratioFloor` bytes only while it stays within
//   `maxRatio` times its compressed size (real sounds never compress that
//   far);
// - no write may leave the destination's file system with less free space
//   than the larger of `reserveBytes` and `reservePercent` of its size.
#pragma once

#include <cstdint>

namespace arc {

struct OutputLimits {
    uint64_t ratioFloor = uint64_t(100) << 20;
    uint64_t maxRatio = 1000;
    uint64_t reserveBytes = uint64_t(512) << 20;
    uint64_t reservePercent = 5;

    // Whether `data` bytes of an entry whose compressed size is at most
    // `packed` (0: unknown) are still allowed.
    bool ratioAllows(uint64_t data, uint64_t packed) const;
    // The free space a write must leave on a file system of `total` bytes.
    uint64_t reserveFor(uint64_t total) const;
};

// The limits in force: the defaults above, made stricter (never looser) by
// the environment variable TIDEBELL_ARCHIVER_LIMITS, which the tests set to
// reach the limits without writing gigabytes, e.g.
// "ratio-floor=65536,reserve=1099511627776".
OutputLimits currentOutputLimits();

}  // namespace arc
