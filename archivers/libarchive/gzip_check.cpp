#include "archivers/libarchive/gzip_check.h"

#include <zlib.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace arc {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

struct InflateEnd {
    void operator()(z_stream* z) const { inflateEnd(z); }
};

}  // namespace

Result checkGzipFile(const std::string& posixPath) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(posixPath.c_str(), "rb"));
    if (!file) return Result::fail(Status::ReadError, "cannot read " + posixPath);
    z_stream zs{};
    if (inflateInit2(&zs, 15 + 16) != Z_OK) return Result::fail(Status::OutOfMemory, "zlib");
    std::unique_ptr<z_stream, InflateEnd> guard(&zs);

    std::vector<unsigned char> in(64 * 1024), out(64 * 1024);
    bool inMember = true;  // the file starts with a member (libarchive said gzip)
    for (;;) {
        size_t got = std::fread(in.data(), 1, in.size(), file.get());
        if (got == 0) break;
        zs.next_in = in.data();
        zs.avail_in = static_cast<uInt>(got);
        while (zs.avail_in > 0) {
            if (!inMember) {
                // Another member must start with the gzip magic; anything
                // else is padding or trailing data.
                if (zs.next_in[0] != 0x1F || (zs.avail_in > 1 && zs.next_in[1] != 0x8B)) return Result::success();
                inflateReset(&zs);
                inMember = true;
            }
            zs.next_out = out.data();
            zs.avail_out = static_cast<uInt>(out.size());
            int rc = inflate(&zs, Z_NO_FLUSH);
            if (rc == Z_STREAM_END) {
                inMember = false;
            } else if (rc == Z_BUF_ERROR && zs.avail_in == 0) {
                break;  // needs the next block
            } else if (rc != Z_OK) {
                return Result::fail(Status::CrcError,
                                    std::string("gzip data damaged: ") + (zs.msg ? zs.msg : "inflate error"));
            }
        }
        if (std::ferror(file.get())) return Result::fail(Status::ReadError, "cannot read " + posixPath);
    }
    if (inMember) return Result::fail(Status::Corrupt, "gzip data ends early");
    return Result::success();
}

}  // namespace arc
