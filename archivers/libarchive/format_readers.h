// The reader of each libarchive-based library, with the signature of
// arc::ReaderFactory (the path is not looked at; open() decides).
#pragma once

#include <memory>
#include <string>

#include "archivers/libarchive/libarchive_reader.h"

namespace arc {

// ZIP: stored, deflate, deflate64, bzip2, lzma, xz, zstd, ZIP64.
std::unique_ptr<Reader> makeZipReader(const std::string& posixPath = {});
// CAB: none, MSZIP, LZX, Quantum.
std::unique_ptr<LibarchiveReader> makeCabReader(const std::string& posixPath = {});
// tar, cpio and ar, plain or through gzip, bzip2, compress, xz, lzma, zstd or
// rpm; a lone compressed file as one entry.
std::unique_ptr<LibarchiveReader> makeTarFamilyReader(const std::string& posixPath = {});
// RAR version 5.
std::unique_ptr<LibarchiveReader> makeRar5Reader(const std::string& posixPath = {});

}  // namespace arc
