#include "archivers/libarchive/gzip_check.h"

#include <cstring>

namespace arc {

bool GzipSource::isGzip(const std::string& posixPath)
{
    unsigned char magic[2] = {};
    std::FILE* f = std::fopen(posixPath.c_str(), "rb");
    if (!f)
        return false;
    const bool gzip = std::fread(magic, 1, 2, f) == 2 && magic[0] == 0x1F && magic[1] == 0x8B;
    std::fclose(f);
    return gzip;
}

GzipSource::~GzipSource()
{
    if (m_zInit)
        inflateEnd(&m_zs);
    if (m_file)
        std::fclose(m_file);
}

Result GzipSource::open(const std::string& posixPath)
{
    m_file = std::fopen(posixPath.c_str(), "rb");
    if (!m_file)
        return Result::fail(Status::ReadError, "cannot read " + posixPath);
    if (inflateInit2(&m_zs, 15 + 16) != Z_OK)
        return Result::fail(Status::OutOfMemory, "zlib");
    m_zInit = true;
    return Result::success();
}

long GzipSource::fail(Status status, std::string message)
{
    m_failure = Result::fail(status, std::move(message));
    return -1;
}

long GzipSource::read(const void** data)
{
    if (!m_failure.ok())
        return -1;
    while (!m_done) {
        if (m_zs.avail_in == 0) {
            const size_t got = std::fread(m_in.data(), 1, m_in.size(), m_file);
            if (got == 0) {
                if (std::ferror(m_file))
                    return fail(Status::ReadError, "cannot read the gzip file");
                m_done = true;
                if (m_inMember)
                    return fail(Status::Corrupt, "gzip data ends early");
                break;
            }
            m_zs.next_in = m_in.data();
            m_zs.avail_in = static_cast<uInt>(got);
        }
        if (!m_inMember) {
            // Another member must start with the gzip magic; anything else
            // is padding or trailing data.
            if (m_zs.next_in[0] != 0x1F || (m_zs.avail_in > 1 && m_zs.next_in[1] != 0x8B)) {
                m_done = true;
                break;
            }
            inflateReset(&m_zs);
            m_inMember = true;
        }
        m_zs.next_out = m_out.data();
        m_zs.avail_out = static_cast<uInt>(m_out.size());
        const int rc = inflate(&m_zs, Z_NO_FLUSH);
        if (rc == Z_STREAM_END)
            m_inMember = false;
        else if (rc != Z_OK && !(rc == Z_BUF_ERROR && m_zs.avail_in == 0))
            return fail(Status::CrcError, std::string("gzip data damaged: ") + (m_zs.msg ? m_zs.msg : "inflate error"));
        const size_t produced = m_out.size() - m_zs.avail_out;
        if (produced > 0) {
            *data = m_out.data();
            return static_cast<long>(produced);
        }
    }
    return 0;
}

}  // namespace arc
