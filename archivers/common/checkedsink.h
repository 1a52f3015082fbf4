// Wraps the sink an entry is decoded into: counts bytes, refuses anything
// beyond the entry's declared size or the ratio of outputlimits.h, computes
// the entry's kind of CRC, and judges the result once the reader is done.
#pragma once

#include <cstdint>

#include "archivers/common/outputlimits.h"
#include "archivers/common/reader.h"

namespace arc {

class CheckedSink : public Sink {
public:
    // Entries whose size is unknown before decoding may grow up to this.
    static constexpr uint64_t kUnknownSizeLimit = uint64_t(1) << 36;

    // `archiveSize` (0: unknown) bounds the compressed size of an entry
    // that declares none, or declares more.
    CheckedSink(const Entry& entry, Sink& target, uint64_t archiveSize = 0);
    bool write(const void* data, size_t size) override;
    bool skip(uint64_t size) override;

    // The entry's result given what the reader returned: the reader's own
    // failure, a CRC or size mismatch (Status::CrcError), Status::TooLarge
    // past the ratio, or Status::Aborted when the target refused data (its
    // owner knows why).
    Result finish(const Result& decoded) const;

    uint64_t written() const { return m_written; }
    bool targetRefused() const { return m_targetRefused; }

private:
    bool admit(uint64_t size);

    const Entry& m_entry;
    Sink& m_target;
    OutputLimits m_limits;
    uint64_t m_packedBound = 0;
    uint64_t m_written = 0;  // all bytes, holes included
    uint64_t m_data = 0;     // bytes the reader decoded (no holes)
    uint32_t m_crc = 0;
    bool m_oversize = false;
    bool m_tooLarge = false;
    bool m_targetRefused = false;
};

// Discards everything (CRC tests).
class NullSink : public Sink {
public:
    bool write(const void*, size_t) override { return true; }
    bool skip(uint64_t) override { return true; }
};

}  // namespace arc
