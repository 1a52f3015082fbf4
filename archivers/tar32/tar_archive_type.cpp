#include "archivers/tar32/tar_archive_type.h"

#include <archive.h>

#include <algorithm>

#include "archivers/libarchive/format_readers.h"

namespace arc {

int tarArchiveType(const std::string& posixPath)
{
    auto reader = makeTarFamilyReader();
    if (!reader->identify(posixPath).ok())
        return TarTypeNone;
    const auto& filters = reader->filterCodes();
    if (std::find(filters.begin(), filters.end(), ARCHIVE_FILTER_RPM) != filters.end())
        return TarTypeRpm;
    const int filter = reader->filterCode();
    switch (reader->formatCode() & ARCHIVE_FORMAT_BASE_MASK) {
    case ARCHIVE_FORMAT_TAR:
        switch (filter) {
        case ARCHIVE_FILTER_NONE:
            return TarTypeTar;
        case ARCHIVE_FILTER_GZIP:
            return TarTypeTarGzip;
        case ARCHIVE_FILTER_COMPRESS:
            return TarTypeTarCompress;
        case ARCHIVE_FILTER_BZIP2:
            return TarTypeTarBzip2;
        default:
            return TarTypeTarOther;
        }
    case ARCHIVE_FORMAT_RAW:
        switch (filter) {
        case ARCHIVE_FILTER_GZIP:
            return TarTypeGzip;
        case ARCHIVE_FILTER_COMPRESS:
            return TarTypeCompress;
        case ARCHIVE_FILTER_BZIP2:
            return TarTypeBzip2;
        default:
            return TarTypeOtherCompressed;
        }
    case ARCHIVE_FORMAT_CPIO:
        return TarTypeCpio;
    case ARCHIVE_FORMAT_AR:
        return TarTypeAr;
    default:
        return TarTypeNone;
    }
}

}  // namespace arc
