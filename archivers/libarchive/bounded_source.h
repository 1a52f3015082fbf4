// What a libarchive handle reads: the archive file; or its decoded bytes,
// from GzipSource for gzip and from a second handle for the other
// compressions; or a window of the file with a few bytes shown changed.
// Decoded bytes are counted as they are handed over, and the handle is
// stopped once they pass the ratio of outputlimits.h against the file's
// size: walking the headers of a compressed tar decodes everything before
// each of them, and a few hundred bytes of bzip2 can stand for gigabytes,
// which listing must not spend the time (nor the memory its entries take)
// to decode, as extraction does not. (A filter decoding inside the handle
// itself would hand the format gigabytes from one read of the file.)
#pragma once

#include <archive.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "archivers/common/outputlimits.h"
#include "archivers/common/reader.h"

namespace arc {

class GzipSource;

class BoundedSource {
public:
    using Patch = std::pair<uint64_t, std::string>;  // bytes to show at an offset of the file

    BoundedSource();
    ~BoundedSource();
    BoundedSource(const BoundedSource&) = delete;
    BoundedSource& operator=(const BoundedSource&) = delete;

    // The whole file, or (`gzip`) its decoded bytes; otherwise, when
    // `addFilters` is given and the filters it enables on a handle find the
    // file compressed, its bytes decoded by them (decodes()).
    Result open(const std::string& posixPath, bool gzip, const std::function<void(struct archive*)>& addFilters = {});
    // Bytes [begin, end) of the file as a file of their own, with `patches`
    // (offsets in the file) applied.
    Result openWindow(const std::string& posixPath, uint64_t begin, uint64_t end, std::vector<Patch> patches);
    // Opens `a` on this source: read, skip and (not for gzip) seek.
    int attach(struct archive* a);

    // Whether a second handle decodes the file; its filters' codes
    // (ARCHIVE_FILTER_*, the one nearest the format first, NONE last).
    bool decodes() const { return m_decoder != nullptr; }
    const std::vector<int>& decoderFilters() const { return m_decoderFilters; }

    // Status::TooLarge once the ratio was passed; a gzip failure
    // (GzipSource::failure()); else success.
    const Result& failure() const;

private:
    static la_ssize_t read(struct archive* a, void* client, const void** buffer);
    static la_int64_t skip(struct archive* a, void* client, la_int64_t request);
    static la_int64_t seek(struct archive* a, void* client, la_int64_t offset, int whence);
    bool withinRatio(struct archive* a, uint64_t more);

    struct HandleCloser {
        void operator()(struct archive* a) const { archive_read_free(a); }
    };
    int m_fd = -1;
    std::unique_ptr<GzipSource> m_gzip;
    std::unique_ptr<struct archive, HandleCloser> m_decoder;
    std::vector<int> m_decoderFilters;
    uint64_t m_decoded = 0;  // bytes handed over from GzipSource or m_decoder
    uint64_t m_fileSize = 0;
    uint64_t m_begin = 0;
    uint64_t m_end = 0;
    uint64_t m_position = 0;  // in the window
    std::vector<Patch> m_patches;
    OutputLimits m_limits;
    Result m_tooLarge;
    std::vector<unsigned char> m_buffer = std::vector<unsigned char>(16 * 1024);
};

}  // namespace arc
