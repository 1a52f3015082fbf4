// libarchive decodes gzip without checking the CRC-32 and length stored
// after each member, and tar or cpio data carries no checksum of its own.
// So a file that starts as gzip is decoded here instead, and libarchive
// reads the decoded bytes: each member's CRC-32 and length are checked as
// the data is read (zlib does it at the member's end), never by decoding
// the whole file before the archive opens.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "archivers/common/reader.h"

namespace arc {

class GzipSource {
public:
    // Whether the file starts with the gzip magic.
    static bool isGzip(const std::string& posixPath);

    GzipSource() = default;
    ~GzipSource();
    GzipSource(const GzipSource&) = delete;
    GzipSource& operator=(const GzipSource&) = delete;

    Result open(const std::string& posixPath);
    // The next decoded bytes in `*data`: their count, 0 at the end of the
    // last member (data after it that starts no member is ignored, as gzip
    // does with padding), -1 on an error (failure()).
    long read(const void** data);
    // Status::CrcError for damaged data or a wrong CRC-32 or length,
    // Status::Corrupt when the file ends inside a member, ReadError.
    const Result& failure() const { return m_failure; }

private:
    long fail(Status status, std::string message);

    std::FILE* m_file = nullptr;
    z_stream m_zs{};
    bool m_zInit = false;
    bool m_inMember = true;  // the file starts with a member
    bool m_done = false;
    std::vector<unsigned char> m_in = std::vector<unsigned char>(64 * 1024);
    std::vector<unsigned char> m_out = std::vector<unsigned char>(64 * 1024);
    Result m_failure;
};

}  // namespace arc
