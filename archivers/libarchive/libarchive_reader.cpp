#include "archivers/libarchive/libarchive_reader.h"

#include <archive.h>
#include <archive_entry.h>
#include <locale.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "archivers/libarchive/cab_methods.h"
#include "archivers/libarchive/lzma_dictionary.h"
#include "archivers/libarchive/gzip_check.h"
#include "archivers/libarchive/zip_directory.h"

namespace arc {
namespace {

constexpr size_t kBlockSize = 16 * 1024;
// What libarchive sets when a file is not in any enabled format.
constexpr int kFileFormatErrno = EILSEQ;

// libarchive converts names between the archive's charset and the current
// locale's. Under a UTF-8 locale, names flagged UTF-8 pass unchanged and
// names of unknown charset are handed over as stored, so nameToUtf8 sees the
// raw bytes. uselocale() changes only this thread, and only for the call.
class Utf8LocaleScope {
public:
    Utf8LocaleScope() {
        static locale_t utf8 = newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        if (utf8) m_previous = uselocale(utf8);
    }
    ~Utf8LocaleScope() {
        if (m_previous) uselocale(m_previous);
    }
    Utf8LocaleScope(const Utf8LocaleScope&) = delete;
    Utf8LocaleScope& operator=(const Utf8LocaleScope&) = delete;

private:
    locale_t m_previous = nullptr;
};

uint32_t toDosDateTime(time_t t) {
    struct tm tm {};
    if (!localtime_r(&t, &tm) || tm.tm_year < 80) return (1u << 5 | 1u) << 16;  // 1980-01-01 00:00
    if (tm.tm_year > 207) tm.tm_year = 207;
    uint32_t date = static_cast<uint32_t>(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    uint32_t time = static_cast<uint32_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
    return date << 16 | time;
}

std::string baseNameWithoutCompression(const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    for (const char* ext : {".gz", ".bz2", ".Z", ".z", ".xz", ".lzma", ".zst", ".GZ", ".BZ2"}) {
        size_t len = std::strlen(ext);
        if (name.size() > len && name.compare(name.size() - len, len, ext) == 0) return name.substr(0, name.size() - len);
    }
    return name;
}

std::string archiveError(struct archive* a, const char* fallback) {
    const char* s = archive_error_string(a);
    return s && *s ? std::string(s) : std::string(fallback);
}

}  // namespace

void LibarchiveReader::ArchiveCloser::operator()(struct archive* a) const {
    archive_read_free(a);
}

LibarchiveReader::LibarchiveReader(std::vector<Format> formats, std::vector<Filter> filters)
    : m_formats(std::move(formats)), m_filters(std::move(filters)) {}

LibarchiveReader::~LibarchiveReader() {
    Utf8LocaleScope scope;
    m_cursor.reset();
}

Result LibarchiveReader::openHandle(ArchivePtr& out) {
    out.reset(archive_read_new());
    struct archive* a = out.get();
    if (!a) return Result::fail(Status::OutOfMemory, "libarchive handle");
    for (Format f : m_formats) {
        switch (f) {
        case Format::Zip: archive_read_support_format_zip_seekable(a); break;
        case Format::Cab: archive_read_support_format_cab(a); break;
        case Format::Tar: archive_read_support_format_tar(a); break;
        case Format::Cpio: archive_read_support_format_cpio(a); break;
        case Format::Ar: archive_read_support_format_ar(a); break;
        case Format::Rar5: archive_read_support_format_rar5(a); break;
        case Format::SevenZip: archive_read_support_format_7zip(a); break;
        case Format::Raw: archive_read_support_format_raw(a); break;
        }
    }
    for (Filter f : m_filters) {
        switch (f) {
        case Filter::Gzip: archive_read_support_filter_gzip(a); break;
        case Filter::Bzip2: archive_read_support_filter_bzip2(a); break;
        case Filter::Compress: archive_read_support_filter_compress(a); break;
        case Filter::Xz: archive_read_support_filter_xz(a); break;
        case Filter::Lzma: archive_read_support_filter_lzma(a); break;
        case Filter::Zstd: archive_read_support_filter_zstd(a); break;
        case Filter::Rpm: archive_read_support_filter_rpm(a); break;
        }
    }
    if (archive_read_open_filename(a, m_path.c_str(), kBlockSize) != ARCHIVE_OK) {
        Status s = archive_errno(a) == kFileFormatErrno ? Status::NotArchive : Status::ReadError;
        std::string message = archiveError(a, "cannot open the archive");
        out.reset();
        return Result::fail(s, message);
    }
    return Result::success();
}

Result LibarchiveReader::open(const std::string& posixPath) {
    return readHeaders(posixPath, false);
}

Result LibarchiveReader::identify(const std::string& posixPath) {
    Result r = readHeaders(posixPath, true);
    m_entries.clear();
    m_undecodable.clear();
    return r;
}

Result LibarchiveReader::readHeaders(const std::string& posixPath, bool firstOnly) {
    Utf8LocaleScope scope;
    m_cursor.reset();
    m_entries.clear();
    m_undecodable.clear();
    m_zipNames.clear();
    m_formatCode = 0;
    m_filterCodes.clear();
    m_path = posixPath;

    // libarchive decides what is a ZIP (its first header read); the listing
    // then comes from the central directory when that is sound.
    const bool zipReader = std::find(m_formats.begin(), m_formats.end(), Format::Zip) != m_formats.end();
    ZipDirectory directory;
    const bool haveDirectory = !firstOnly && zipReader && directory.read(posixPath).ok();

    // libarchive may start decoding, and allocate an LZMA dictionary, while
    // it reads headers (the filter's first block; a ZIP symlink's target).
    if (std::find(m_filters.begin(), m_filters.end(), Filter::Xz) != m_filters.end())
        if (Result r = checkXzFile(posixPath); !r.ok()) return r;
    if (zipReader) {
        std::vector<std::pair<uint64_t, uint64_t>> packedSizes;
        if (haveDirectory)
            for (const ZipRecord& r : directory.records()) packedSizes.emplace_back(r.localOffset, r.packedSize);
        if (Result r = checkZipDictionaries(posixPath, packedSizes); !r.ok()) return r;
    }

    ArchivePtr a;
    if (Result r = openHandle(a); !r.ok()) return r;
    auto learnCodes = [&] {
        m_formatCode = archive_format(a.get());
        m_filterCodes.clear();
        for (int i = 0, n = archive_filter_count(a.get()); i < n; ++i) m_filterCodes.push_back(archive_filter_code(a.get(), i));
    };
    for (;;) {
        struct archive_entry* e = nullptr;
        int rc = archive_read_next_header(a.get(), &e);
        if (rc == ARCHIVE_EOF) break;
        if (rc < ARCHIVE_WARN) {
            bool first = m_entries.empty();
            Status s = first && archive_errno(a.get()) == kFileFormatErrno ? Status::NotArchive : Status::Corrupt;
            std::string message = archiveError(a.get(), "broken archive header");
            m_entries.clear();
            m_undecodable.clear();
            return Result::fail(s, message);
        }
        if (m_entries.empty()) {
            learnCodes();
            // The raw format takes any file; only a recognised compression
            // makes it one of ours.
            if ((m_formatCode & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_RAW && filterCode() == ARCHIVE_FILTER_NONE) {
                m_formatCode = 0;
                m_filterCodes.clear();
                return Result::fail(Status::NotArchive, "not a compressed file");
            }
            if (haveDirectory && (m_formatCode & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_ZIP) {
                listZipDirectory(directory);
                return Result::success();
            }
        }
        m_entries.push_back(makeEntry(e));
        if (firstOnly) break;
    }
    if (m_entries.empty()) learnCodes();  // an archive without entries
    if ((m_formatCode & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_CAB && !firstOnly) {
        std::vector<std::string> methods = cabFileMethods(posixPath);
        if (methods.size() == m_entries.size())
            for (size_t i = 0; i < methods.size(); ++i) m_entries[i].method = methods[i];
    }
    // A gzip file as the outermost layer (not inside rpm): check what
    // libarchive does not, its CRCs.
    if (!firstOnly && m_filterCodes.size() >= 2 && m_filterCodes[m_filterCodes.size() - 2] == ARCHIVE_FILTER_GZIP) {
        if (Result r = checkGzipFile(posixPath); !r.ok()) {
            m_entries.clear();
            m_undecodable.clear();
            return r;
        }
    }
    return Result::success();
}

Entry LibarchiveReader::makeEntry(struct archive_entry* e) {
    Entry en;
    const int base = m_formatCode & ARCHIVE_FORMAT_BASE_MASK;
    const char* path = archive_entry_pathname(e);
    std::string raw = path ? path : "";

    switch (archive_entry_filetype(e)) {
    case AE_IFDIR: en.type = EntryType::Directory; break;
    case AE_IFLNK: en.type = EntryType::Symlink; break;
    case 0:  // ar members and some old formats carry no type bits: plain data
    case AE_IFREG: en.type = archive_entry_hardlink(e) ? EntryType::Other : EntryType::File; break;
    default: en.type = EntryType::Other; break;  // devices, fifos, sockets
    }
    en.sizeKnown = archive_entry_size_is_set(e) != 0;
    en.size = en.sizeKnown && archive_entry_size(e) > 0 ? static_cast<uint64_t>(archive_entry_size(e)) : 0;
    en.dosDateTime = archive_entry_mtime_is_set(e) ? toDosDateTime(archive_entry_mtime(e)) : toDosDateTime(0);
    en.attributes = en.type == EntryType::Directory ? 0x10 : 0x20;
    if ((archive_entry_perm(e) & 0222) == 0) en.attributes |= 0x01;
    en.encrypted = archive_entry_is_encrypted(e) != 0;

    switch (base) {
    case ARCHIVE_FORMAT_ZIP: en.method = "ZIP"; break;
    case ARCHIVE_FORMAT_CAB: en.method = "CAB"; break;
    case ARCHIVE_FORMAT_TAR: en.method = "tar"; break;
    case ARCHIVE_FORMAT_CPIO: en.method = "cpio"; break;
    case ARCHIVE_FORMAT_AR: en.method = "ar"; break;
    case ARCHIVE_FORMAT_RAR_V5: en.method = "RAR5"; break;
    case ARCHIVE_FORMAT_7ZIP: en.method = "7z"; break;
    case ARCHIVE_FORMAT_RAW: {
        en.method = filterCode() == ARCHIVE_FILTER_GZIP       ? "gzip"
                    : filterCode() == ARCHIVE_FILTER_BZIP2    ? "bzip2"
                    : filterCode() == ARCHIVE_FILTER_COMPRESS ? "compress"
                                                              : "raw";
        raw = baseNameWithoutCompression(m_path);
        break;
    }
    default: en.method = "?"; break;
    }

    en.name = nameToUtf8(raw);
    // ZIP and CAB files made on Windows separate folders with "\". Done on
    // the UTF-8 text, where 0x5C is always the character itself (in
    // Shift-JIS it is also the second byte of many characters).
    if (base == ARCHIVE_FORMAT_ZIP || base == ARCHIVE_FORMAT_CAB) std::replace(en.name.begin(), en.name.end(), '\\', '/');
    m_undecodable.push_back(false);
    return en;
}

void LibarchiveReader::listZipDirectory(const ZipDirectory& directory) {
    std::vector<size_t> records;
    m_entries = directory.listing(records);
    for (size_t i : records) {
        const ZipRecord& r = directory.records()[i];
        m_undecodable.push_back(!ZipDirectory::decodable(r.method));
        std::vector<std::string> names{std::string(r.rawName)};
        if (!r.unicodeName.empty()) names.emplace_back(r.unicodeName);
        m_zipNames.push_back(std::move(names));
    }
}

Result LibarchiveReader::walkTo(size_t index) {
    // m_cursorIndex is the number of headers read so far; the last one read
    // is index m_cursorIndex - 1.
    bool reusable = m_cursor && m_cursorAligned &&
                    (index >= m_cursorIndex || (m_cursorFresh && index + 1 == m_cursorIndex));
    if (!reusable) {
        m_cursor.reset();
        m_cursorIndex = 0;
        m_cursorFresh = false;
        m_cursorAligned = true;
        if (Result r = openHandle(m_cursor); !r.ok()) return r;
    }
    while (m_cursorIndex <= index) {
        struct archive_entry* e = nullptr;
        int rc = archive_read_next_header(m_cursor.get(), &e);
        if (rc == ARCHIVE_EOF || rc < ARCHIVE_WARN) {
            std::string message = rc == ARCHIVE_EOF ? "the archive has fewer entries than when it was listed"
                                                    : archiveError(m_cursor.get(), "broken archive header");
            m_cursor.reset();
            return Result::fail(Status::Corrupt, message);
        }
        ++m_cursorIndex;
        m_cursorFresh = true;
        if (m_cursorIndex == index + 1 && !m_zipNames.empty()) {
            const char* name = archive_entry_pathname(e);
            const auto& expected = m_zipNames[index];
            if (!name || std::find(expected.begin(), expected.end(), name) == expected.end()) return findZipEntry(index);
        }
    }
    return Result::success();
}

Result LibarchiveReader::findZipEntry(size_t index) {
    // The walk did not land on the listed entry: look for it by name (the
    // k-th entry of that name), or failing that trust the position; the
    // CRC check after decoding catches a wrong guess.
    const auto& expected = m_zipNames[index];
    size_t wanted = 0;
    for (size_t j = 0; j < index; ++j) wanted += m_zipNames[j] == expected;
    m_cursor.reset();
    if (Result r = openHandle(m_cursor); !r.ok()) return r;
    m_cursorAligned = false;
    m_cursorFresh = false;
    for (;;) {
        struct archive_entry* e = nullptr;
        int rc = archive_read_next_header(m_cursor.get(), &e);
        if (rc == ARCHIVE_EOF || rc < ARCHIVE_WARN) break;
        const char* name = archive_entry_pathname(e);
        if (name && std::find(expected.begin(), expected.end(), name) != expected.end() && wanted-- == 0) {
            m_cursorFresh = true;
            return Result::success();
        }
    }
    m_cursor.reset();
    m_cursorIndex = 0;
    std::vector<std::vector<std::string>> names;
    names.swap(m_zipNames);  // a plain positional walk
    Result r = walkTo(index);
    names.swap(m_zipNames);
    m_cursorAligned = false;
    return r;
}

Result LibarchiveReader::extract(size_t index, Sink& sink) {
    if (index >= m_entries.size()) return Result::fail(Status::Corrupt, "no entry " + std::to_string(index));
    if (m_undecodable[index])
        return Result::fail(Status::Unsupported, "compression method " + m_entries[index].method + " is not supported");
    if (m_entries[index].encrypted) return Result::fail(Status::Unsupported, "the entry is encrypted");
    Utf8LocaleScope scope;
    if (Result r = walkTo(index); !r.ok()) return r;
    m_cursorFresh = false;
    if (m_entries[index].type != EntryType::File) return Result::success();

    struct archive* a = m_cursor.get();
    uint64_t written = 0;
    static const char zeros[4096] = {};
    for (;;) {
        const void* buf = nullptr;
        size_t len = 0;
        la_int64_t offset = 0;
        int rc = archive_read_data_block(a, &buf, &len, &offset);
        if (rc == ARCHIVE_EOF) break;
        if (rc != ARCHIVE_OK) {
            // Data warnings are checksum or size mismatches found by libarchive.
            Status s = rc == ARCHIVE_WARN ? Status::CrcError : Status::Corrupt;
            std::string message = archiveError(a, "broken entry data");
            m_cursor.reset();
            return Result::fail(s, message);
        }
        if (offset < 0 || static_cast<uint64_t>(offset) < written) {
            m_cursor.reset();
            return Result::fail(Status::Corrupt, "entry data goes backwards");
        }
        // Sparse entries: the holes are zeros.
        while (written < static_cast<uint64_t>(offset)) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(sizeof zeros, static_cast<uint64_t>(offset) - written));
            if (!sink.write(zeros, n)) return Result::fail(Status::Aborted, "stopped by the receiver");
            written += n;
        }
        if (len > 0 && !sink.write(buf, len)) return Result::fail(Status::Aborted, "stopped by the receiver");
        written += len;
    }
    return Result::success();
}

}  // namespace arc
