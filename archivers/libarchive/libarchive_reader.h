// A Reader over libarchive, for whichever of its formats and filters a
// library wants (ZIP, CAB, the tar family, RAR5, ...).
//
//   arc::LibarchiveReader zip({arc::LibarchiveReader::Format::Zip});
//   arc::LibarchiveReader tgz({Format::Tar}, {Filter::Gzip});
//
// Listing reads the directory once; for ZIP that is the central directory,
// read directly (libarchive reports neither CRC nor packed size). Extracting
// entry i walks the headers up to i, skipping (for ZIP: seeking over) the
// data of the others; a cursor is kept open so extracting entries in
// ascending order never rereads the archive. Names come out as UTF-8 through arc::nameToUtf8 applied to the
// stored bytes: libarchive runs under a thread-local UTF-8 locale so it
// neither converts nor mangles them, and the host's locale is never touched.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <string>
#include <vector>

#include "archivers/common/reader.h"
#include "archivers/libarchive/cabinet_folders.h"
#include "archivers/libarchive/zip_entry_names.h"

struct archive;
struct archive_entry;

namespace arc {

class LibarchiveReader : public Reader {
public:
    enum class Format : uint8_t {
        Zip,  // seekable: the central directory is the listing
        Cab,
        Tar,
        Cpio,
        Ar,
        Rar5,
        SevenZip,
        // A lone compressed file (.gz, .bz2, .Z) as one entry named after the
        // archive file without its compression extension. Accepted only when
        // a compression filter was recognised.
        Raw,
    };
    enum class Filter : uint8_t { Gzip, Bzip2, Compress, Xz, Lzma, Zstd, Rpm };

    explicit LibarchiveReader(std::vector<Format> formats, std::vector<Filter> filters = {});
    ~LibarchiveReader() override;
    LibarchiveReader(const LibarchiveReader&) = delete;
    LibarchiveReader& operator=(const LibarchiveReader&) = delete;

    Result open(const std::string& posixPath) override;
    const std::vector<Entry>& entries() const override { return m_entries; }
    Result extract(size_t index, Sink& sink) override;

    // The entry whose data entry `index` has: itself, or for a hard link
    // the entry of its group that holds the data.
    size_t dataSource(size_t index) const { return index < m_dataFrom.size() ? m_dataFrom[index] : index; }

    // Reads only the first header to learn the format and filters (what
    // formatCode() and filterCodes() report); entries() stays empty.
    Result identify(const std::string& posixPath);

    // What open() or identify() found: libarchive's ARCHIVE_FORMAT_* code
    // (0 before success) and the ARCHIVE_FILTER_* codes, the one nearest the
    // format first ({ARCHIVE_FILTER_GZIP, ARCHIVE_FILTER_NONE} for .tar.gz).
    int formatCode() const { return m_formatCode; }
    int filterCode() const { return m_filterCodes.empty() ? 0 : m_filterCodes.front(); }
    const std::vector<int>& filterCodes() const { return m_filterCodes; }

    // More entries than this is taken as a hostile file, not an archive (as
    // the LZH and RAR readers do).
    static constexpr size_t kMaxEntries = 1u << 20;
    void setMaxEntries(size_t count) { m_maxEntries = count; }  // for tests

    // Headers read by extraction so far, its main cost, counting the file
    // records libarchive reads each time a cabinet is opened: a failing entry
    // must not make each later one start over from the first header.
    uint64_t headersRead() const { return m_headersRead; }

private:
    struct ArchiveCloser {
        void operator()(struct archive* a) const;
    };
    using ArchivePtr = std::unique_ptr<struct archive, ArchiveCloser>;

    // Opens the archive file through `source` (made here), which decodes
    // gzip (m_gzipOuter) and bounds what the handle decodes; `source` must
    // outlive `out`.
    Result openHandle(ArchivePtr& out, std::unique_ptr<class BoundedSource>& source);
    // Reads the directory, or only the first header when `firstOnly`.
    Result readHeaders(const std::string& posixPath, bool firstOnly);
    // Also notes in m_undecodable whether libarchive lacks the entry's method.
    Entry makeEntry(struct archive_entry* e);
    // Gives each name of a group of hard links the group's data (m_dataFrom).
    void resolveHardLinks(const std::vector<std::string>& targets);

    std::vector<Format> m_formats;
    std::vector<Filter> m_filters;
    std::string m_path;
    std::vector<Entry> m_entries;
    std::vector<bool> m_undecodable;
    std::vector<size_t> m_dataFrom;  // per entry, the entry whose data it has (empty: each its own)
    size_t m_maxEntries = kMaxEntries;
    int m_formatCode = 0;
    std::vector<int> m_filterCodes;
    bool m_gzipOuter = false;  // the file is gzip, decoded by GzipSource

    // ZIP entries listed from the central directory, to check that a walk
    // reached the intended entry (empty: entries known by position).
    ZipEntryNames m_zipNames;
    // Moves the cursor to entry `index`, checking its name when `byName`.
    Result walkTo(size_t index, bool byName = true);
    // Finds entry `index` by its names when the walk landed elsewhere.
    Result findZipEntry(size_t index);

    // Cabinets: where each file lies and what fails in each folder (empty:
    // the cabinet is walked whole).
    CabinetFolders m_cabinet;
    // Opens m_cursor on the cabinet seen as the folder of file `index` alone.
    Result openCabinetAt(size_t index);

    // Extraction cursor: the handle and the index of the last header read
    // (its data not yet consumed when m_cursorFresh).
    std::unique_ptr<class BoundedSource> m_cursorSource;  // declared first: outlives m_cursor
    ArchivePtr m_cursor;
    size_t m_cursorIndex = 0;
    bool m_cursorFresh = false;
    size_t m_cursorEnd = SIZE_MAX;  // the cursor's handle lists the entries before this (a cabinet's part)
    bool m_cursorSparse = false;    // the last header read is of a sparse entry
    // Where a walk from the start could not read the next header, and why.
    std::optional<std::pair<size_t, Result>> m_walkFailure;
    uint64_t m_headersRead = 0;
    bool m_cursorAligned = true;  // false after a search by name: header count and index differ
};

}  // namespace arc
