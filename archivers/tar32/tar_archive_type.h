// What TarGetArchiveType answers for a file. The program reads 1 as tar,
// 2 to 5 as compressed tar, 6 and 7 as bzip2 and anything else as "not a
// tar archive"; the finer numbers are ours:
//
//   0  not readable, or not in any format of this library
//   1  tar
//   2  tar compressed with gzip (.tar.gz, .tgz)
//   3  tar compressed with compress (.tar.Z, .taz)
//   4  a lone file compressed with gzip (.gz)
//   5  a lone file compressed with compress (.Z)
//   6  tar compressed with bzip2 (.tar.bz2, .tbz)
//   7  a lone file compressed with bzip2 (.bz2)
//   8  cpio, compressed or not
//   9  ar (.a, .lib, .deb)
//  10  rpm
//  11  tar compressed otherwise (xz, lzma, zstd)
//  12  a lone file compressed otherwise (xz, lzma, zstd)
#pragma once

#include <string>

namespace arc {

enum TarArchiveType : int {
    TarTypeNone = 0,
    TarTypeTar = 1,
    TarTypeTarGzip = 2,
    TarTypeTarCompress = 3,
    TarTypeGzip = 4,
    TarTypeCompress = 5,
    TarTypeTarBzip2 = 6,
    TarTypeBzip2 = 7,
    TarTypeCpio = 8,
    TarTypeAr = 9,
    TarTypeRpm = 10,
    TarTypeTarOther = 11,
    TarTypeOtherCompressed = 12,
};

// Reads only the file's first header.
int tarArchiveType(const std::string& posixPath);

}  // namespace arc
