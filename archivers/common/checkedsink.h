// Wraps the sink an entry is decoded into: counts bytes, refuses anything
// beyond the entry's declared size, computes the entry's kind of CRC, and
// judges the result once the reader is done.
#pragma once

#include <cstdint>

#include "archivers/common/reader.h"

namespace arc {

class CheckedSink : public Sink {
public:
    // Entries whose size is unknown before decoding may grow up to this.
    static constexpr uint64_t kUnknownSizeLimit = uint64_t(1) << 36;

    CheckedSink(const Entry& entry, Sink& target);
    bool write(const void* data, size_t size) override;

    // The entry's result given what the reader returned: the reader's own
    // failure, a CRC or size mismatch (Status::CrcError), or Status::Aborted
    // when the target refused data (its owner knows why).
    Result finish(const Result& decoded) const;

    uint64_t written() const { return m_written; }
    bool targetRefused() const { return m_targetRefused; }

private:
    const Entry& m_entry;
    Sink& m_target;
    uint64_t m_written = 0;
    uint32_t m_crc = 0;
    bool m_oversize = false;
    bool m_targetRefused = false;
};

// Discards everything (CRC tests).
class NullSink : public Sink {
public:
    bool write(const void*, size_t) override { return true; }
};

}  // namespace arc
