#include "archivers/libarchive/format_readers.h"

#include "archivers/libarchive/zip_reader.h"

namespace arc {

using Format = LibarchiveReader::Format;
using Filter = LibarchiveReader::Filter;

std::unique_ptr<Reader> makeZipReader(const std::string&)
{
    return std::make_unique<ZipReader>();
}

std::unique_ptr<LibarchiveReader> makeCabReader(const std::string&)
{
    return std::make_unique<LibarchiveReader>(std::vector<Format>{Format::Cab});
}

// No lone-LZMA filter: that format has no magic number, so which files it
// would take (and what dictionary they ask for) cannot be told beforehand.
std::unique_ptr<LibarchiveReader> makeTarFamilyReader(const std::string&)
{
    return std::make_unique<LibarchiveReader>(
        std::vector<Format>{Format::Tar, Format::Cpio, Format::Ar, Format::Raw},
        std::vector<Filter>{Filter::Gzip, Filter::Bzip2, Filter::Compress, Filter::Xz, Filter::Zstd, Filter::Rpm});
}

std::unique_ptr<LibarchiveReader> makeRar5Reader(const std::string&)
{
    return std::make_unique<LibarchiveReader>(std::vector<Format>{Format::Rar5});
}

}  // namespace arc
