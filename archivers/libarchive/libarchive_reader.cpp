#include "archivers/libarchive/libarchive_reader.h"

#include <archive.h>
#include <archive_entry.h>
#include <locale.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>

#include "archivers/common/dostime.h"
#include "archivers/libarchive/bounded_source.h"
#include "archivers/libarchive/lzma_dictionary.h"
#include "archivers/libarchive/gzip_check.h"
#include "archivers/libarchive/zip_directory.h"

namespace arc {
namespace {

// What libarchive sets when a file is not in any enabled format.
constexpr int kFileFormatErrno = EILSEQ;

// libarchive converts names between the archive's charset and the current
// locale's. Under a UTF-8 locale, names flagged UTF-8 pass unchanged and
// names of unknown charset are handed over as stored, so nameToUtf8 sees the
// raw bytes. uselocale() changes only this thread, and only for the call.
class Utf8LocaleScope {
public:
    Utf8LocaleScope()
    {
        static locale_t utf8 = newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        if (utf8)
            m_previous = uselocale(utf8);
    }
    ~Utf8LocaleScope()
    {
        if (m_previous)
            uselocale(m_previous);
    }
    Utf8LocaleScope(const Utf8LocaleScope&) = delete;
    Utf8LocaleScope& operator=(const Utf8LocaleScope&) = delete;

private:
    locale_t m_previous = nullptr;
};

uint32_t toDosDateTime(time_t t)
{
    return dosDateTimeFromTime(t).value_or(kEarliestDosDateTime);
}

std::string baseNameWithoutCompression(const std::string& path)
{
    std::string name = path.substr(path.find_last_of('/') + 1);
    for (const char* ext : {".gz", ".bz2", ".Z", ".z", ".xz", ".lzma", ".zst", ".GZ", ".BZ2"}) {
        size_t len = std::strlen(ext);
        if (name.size() > len && name.compare(name.size() - len, len, ext) == 0)
            return name.substr(0, name.size() - len);
    }
    return name;
}

std::string archiveError(struct archive* a, const char* fallback)
{
    const char* s = archive_error_string(a);
    return s && *s ? std::string(s) : std::string(fallback);
}

}  // namespace

Result LibarchiveReader::openCabinetAt(size_t index)
{
    std::vector<BoundedSource::Patch> patches;
    size_t start = 0, end = 0;
    if (Result r = m_cabinet.folderView(m_path, index, patches, start, end); !r.ok())
        return r;
    if (patches.empty())
        return openHandle(m_cursor, m_cursorSource);
    m_cursorSource = std::make_unique<BoundedSource>();
    if (Result r = m_cursorSource->openWindow(m_path, 0, UINT64_MAX, std::move(patches)); !r.ok())
        return r;
    m_cursor.reset(archive_read_new());
    if (!m_cursor)
        return Result::fail(Status::OutOfMemory, "libarchive handle");
    archive_read_support_format_cab(m_cursor.get());
    if (m_cursorSource->attach(m_cursor.get()) != ARCHIVE_OK) {
        std::string message = archiveError(m_cursor.get(), "cannot open the cabinet");
        m_cursor.reset();
        return Result::fail(Status::Corrupt, message);
    }
    m_cursorIndex = start;
    m_cursorEnd = end;
    m_headersRead += end - start;  // libarchive reads the folder's file records when it opens
    return Result::success();
}

void LibarchiveReader::ArchiveCloser::operator()(struct archive* a) const
{
    archive_read_free(a);
}

LibarchiveReader::LibarchiveReader(std::vector<Format> formats, std::vector<Filter> filters)
    : m_formats(std::move(formats)), m_filters(std::move(filters))
{
}

LibarchiveReader::~LibarchiveReader()
{
    Utf8LocaleScope scope;
    m_cursor.reset();
}

Result LibarchiveReader::openHandle(ArchivePtr& out, std::unique_ptr<BoundedSource>& source)
{
    out.reset(archive_read_new());
    struct archive* a = out.get();
    if (!a)
        return Result::fail(Status::OutOfMemory, "libarchive handle");
    for (Format f : m_formats) {
        switch (f) {
        case Format::Zip:
            archive_read_support_format_zip_seekable(a);
            break;
        case Format::Cab:
            archive_read_support_format_cab(a);
            break;
        case Format::Tar:
            archive_read_support_format_tar(a);
            break;
        case Format::Cpio:
            archive_read_support_format_cpio(a);
            break;
        case Format::Ar:
            archive_read_support_format_ar(a);
            break;
        case Format::Rar5:
            archive_read_support_format_rar5(a);
            break;
        case Format::SevenZip:
            archive_read_support_format_7zip(a);
            break;
        case Format::Raw:
            archive_read_support_format_raw(a);
            break;
        }
    }
    auto addFilters = [this](struct archive* handle) {
        for (Filter f : m_filters) {
            switch (f) {
            case Filter::Gzip:
                archive_read_support_filter_gzip(handle);
                break;
            case Filter::Bzip2:
                archive_read_support_filter_bzip2(handle);
                break;
            case Filter::Compress:
                archive_read_support_filter_compress(handle);
                break;
            case Filter::Xz:
                archive_read_support_filter_xz(handle);
                break;
            case Filter::Lzma:
                archive_read_support_filter_lzma(handle);
                break;
            case Filter::Zstd:
                archive_read_support_filter_zstd(handle);
                break;
            case Filter::Rpm:
                archive_read_support_filter_rpm(handle);
                break;
            }
        }
    };
    source = std::make_unique<BoundedSource>();
    const bool decodeApart = !m_gzipOuter && !m_filters.empty();
    if (Result r = source->open(m_path, m_gzipOuter, decodeApart ? addFilters : std::function<void(struct archive*)>());
        !r.ok()) {
        out.reset();
        return r;
    }
    // What the source decodes, the handle must not look for again.
    if (!source->decodes())
        addFilters(a);
    if (source->attach(a) != ARCHIVE_OK) {
        if (!source->failure().ok()) {
            out.reset();
            return source->failure();
        }
        Status s = archive_errno(a) == kFileFormatErrno ? Status::NotArchive : Status::ReadError;
        std::string message = archiveError(a, "cannot open the archive");
        out.reset();
        return Result::fail(s, message);
    }
    return Result::success();
}

Result LibarchiveReader::open(const std::string& posixPath)
{
    return readHeaders(posixPath, false);
}

Result LibarchiveReader::identify(const std::string& posixPath)
{
    Result r = readHeaders(posixPath, true);
    m_entries.clear();
    m_undecodable.clear();
    return r;
}

Result LibarchiveReader::readHeaders(const std::string& posixPath, bool firstOnly)
{
    Utf8LocaleScope scope;
    m_cursor.reset();
    m_entries.clear();
    m_undecodable.clear();
    m_zipNames.clear();
    m_walkFailure.reset();
    m_dataFrom.clear();
    m_cabinet.clear();
    m_formatCode = 0;
    m_filterCodes.clear();
    m_path = posixPath;
    m_gzipOuter =
        std::find(m_filters.begin(), m_filters.end(), Filter::Gzip) != m_filters.end() && GzipSource::isGzip(posixPath);

    // libarchive decides what is a ZIP (its first header read); the listing
    // then comes from the central directory when that is sound.
    const bool zipReader = std::find(m_formats.begin(), m_formats.end(), Format::Zip) != m_formats.end();
    ZipDirectory directory;
    const bool haveDirectory = !firstOnly && zipReader && directory.read(posixPath).ok();

    // libarchive may start decoding, and allocate an LZMA dictionary, while
    // it reads headers (the filter's first block; a ZIP symlink's target).
    if (std::find(m_filters.begin(), m_filters.end(), Filter::Xz) != m_filters.end())
        if (Result r = checkXzFile(posixPath); !r.ok())
            return r;
    if (zipReader) {
        std::vector<std::pair<uint64_t, uint64_t>> packedSizes;
        if (haveDirectory)
            for (const ZipRecord& r : directory.records())
                packedSizes.emplace_back(r.localOffset, r.packedSize);
        if (Result r = checkZipDictionaries(posixPath, packedSizes); !r.ok())
            return r;
    }

    std::unique_ptr<BoundedSource> source;  // outlives the handle reading from it
    ArchivePtr a;
    if (Result r = openHandle(a, source); !r.ok())
        return r;
    auto learnCodes = [&] {
        m_formatCode = archive_format(a.get());
        m_filterCodes.clear();
        for (int i = 0, n = archive_filter_count(a.get()); i < n; ++i)
            m_filterCodes.push_back(archive_filter_code(a.get(), i));
        if (source->decodes())
            m_filterCodes = source->decoderFilters();
        // The gzip layer decoded here, outside the others.
        if (m_gzipOuter)
            m_filterCodes.insert(m_filterCodes.empty() ? m_filterCodes.end() : m_filterCodes.end() - 1,
                                 ARCHIVE_FILTER_GZIP);
    };
    std::vector<std::string> linkTargets;  // hard links: the name each refers to ("" when none)
    for (;;) {
        struct archive_entry* e = nullptr;
        int rc = archive_read_next_header(a.get(), &e);
        if (rc == ARCHIVE_EOF)
            break;
        // An archive cut short (or damaged) after whole entries: those still
        // list and extract; the one cut inside fails when extracted.
        if (rc < ARCHIVE_WARN && !m_entries.empty() && !firstOnly)
            break;
        if (rc < ARCHIVE_WARN) {
            bool first = m_entries.empty();
            Status s = first && archive_errno(a.get()) == kFileFormatErrno ? Status::NotArchive : Status::Corrupt;
            std::string message = archiveError(a.get(), "broken archive header");
            m_entries.clear();
            m_undecodable.clear();
            if (source && !source->failure().ok())
                return source->failure();
            return Result::fail(s, message);
        }
        if (m_entries.empty()) {
            learnCodes();
            // The raw format takes any file; only a recognised compression
            // makes it one of ours.
            if ((m_formatCode & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_RAW &&
                filterCode() == ARCHIVE_FILTER_NONE) {
                m_formatCode = 0;
                m_filterCodes.clear();
                return Result::fail(Status::NotArchive, "not a compressed file");
            }
            if (haveDirectory && (m_formatCode & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_ZIP) {
                m_zipNames.list(directory, m_entries, m_undecodable);
                return Result::success();
            }
        }
        if (m_entries.size() >= m_maxEntries) {
            m_entries.clear();
            m_undecodable.clear();
            return Result::fail(Status::Corrupt, "too many entries");
        }
        m_entries.push_back(makeEntry(e));
        const char* target = archive_entry_hardlink(e);
        linkTargets.push_back(target ? nameToUtf8(target) : std::string());
        // A lone compressed file is its one entry: looking for a second
        // would decode it whole.
        if (firstOnly || (m_formatCode & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_RAW)
            break;
    }
    if (m_entries.empty())
        learnCodes();  // an archive without entries
    resolveHardLinks(linkTargets);
    if ((m_formatCode & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_CAB && !firstOnly)
        m_cabinet.read(posixPath, m_entries);
    // Listing a compressed tar decodes it whole: damaged gzip data spoils
    // the archive (an archive merely cut short keeps its whole entries).
    if (source && (source->failure().status == Status::CrcError || source->failure().status == Status::TooLarge)) {
        m_entries.clear();
        m_undecodable.clear();
        m_dataFrom.clear();
        return source->failure();
    }
    return Result::success();
}

Entry LibarchiveReader::makeEntry(struct archive_entry* e)
{
    Entry en;
    const int base = m_formatCode & ARCHIVE_FORMAT_BASE_MASK;
    const char* path = archive_entry_pathname(e);
    std::string raw = path ? path : "";

    switch (archive_entry_filetype(e)) {
    case AE_IFDIR:
        en.type = EntryType::Directory;
        break;
    case AE_IFLNK:
        en.type = EntryType::Symlink;
        break;
    case 0:  // ar members and some old formats carry no type bits: plain data
    case AE_IFREG:
        en.type = EntryType::File;
        break;  // hard links: see resolveHardLinks()
    default:
        en.type = EntryType::Other;
        break;  // devices, fifos, sockets
    }
    en.sizeKnown = archive_entry_size_is_set(e) != 0;
    en.size = en.sizeKnown && archive_entry_size(e) > 0 ? static_cast<uint64_t>(archive_entry_size(e)) : 0;
    en.dosDateTime = archive_entry_mtime_is_set(e) ? toDosDateTime(archive_entry_mtime(e)) : toDosDateTime(0);
    en.attributes = en.type == EntryType::Directory ? 0x10 : 0x20;
    if ((archive_entry_perm(e) & 0222) == 0)
        en.attributes |= 0x01;
    en.encrypted = archive_entry_is_encrypted(e) != 0;

    switch (base) {
    case ARCHIVE_FORMAT_ZIP:
        en.method = "ZIP";
        break;
    case ARCHIVE_FORMAT_CAB:
        en.method = "CAB";
        break;
    case ARCHIVE_FORMAT_TAR:
        en.method = "tar";
        break;
    case ARCHIVE_FORMAT_CPIO:
        en.method = "cpio";
        break;
    case ARCHIVE_FORMAT_AR:
        en.method = "ar";
        break;
    case ARCHIVE_FORMAT_RAR_V5:
        en.method = "RAR5";
        break;
    case ARCHIVE_FORMAT_7ZIP:
        en.method = "7z";
        break;
    case ARCHIVE_FORMAT_RAW: {
        en.method = filterCode() == ARCHIVE_FILTER_GZIP       ? "gzip"
                    : filterCode() == ARCHIVE_FILTER_BZIP2    ? "bzip2"
                    : filterCode() == ARCHIVE_FILTER_COMPRESS ? "compress"
                                                              : "raw";
        raw = baseNameWithoutCompression(m_path);
        break;
    }
    default:
        en.method = "?";
        break;
    }

    en.name = nameToUtf8(raw);
    // ZIP and CAB files made on Windows separate folders with "\". Done on
    // the UTF-8 text, where 0x5C is always the character itself (in
    // Shift-JIS it is also the second byte of many characters).
    if (base == ARCHIVE_FORMAT_ZIP || base == ARCHIVE_FORMAT_CAB)
        std::replace(en.name.begin(), en.name.end(), '\\', '/');
    m_undecodable.push_back(false);
    return en;
}

void LibarchiveReader::resolveHardLinks(const std::vector<std::string>& targets)
{
    // libarchive gives a group of hard links' data to one of them: tar and
    // RAR5 to the first (the others name it), cpio to the last (which names
    // the first). Every name of the group gets that data; a link to nothing
    // listed is left out as a link. A RAR5 link declares the size of its
    // target's data but holds none of it.
    const bool linksHoldNoData = (m_formatCode & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_RAR_V5;
    m_dataFrom.clear();
    if (std::all_of(targets.begin(), targets.end(), [](const std::string& t) { return t.empty(); }))
        return;
    std::map<std::string, size_t> files;
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (targets[i].empty() && m_entries[i].type == EntryType::File)
            files.emplace(m_entries[i].name, i);
    m_dataFrom.resize(m_entries.size());
    for (size_t i = 0; i < m_entries.size(); ++i)
        m_dataFrom[i] = i;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (targets[i].empty() || m_entries[i].type != EntryType::File)
            continue;
        const auto target = files.find(targets[i]);
        Entry& link = m_entries[i];
        if (link.size > 0 && !linksHoldNoData) {
            if (target != files.end() && m_entries[target->second].size == 0) {
                m_dataFrom[target->second] = i;
                m_entries[target->second].size = link.size;
            }
        } else if (target != files.end()) {
            m_dataFrom[i] = m_dataFrom[target->second];
            link.size = m_entries[target->second].size;
        } else {
            link.type = EntryType::Other;
        }
    }
}

Result LibarchiveReader::walkTo(size_t index, bool byName)
{
    byName = byName && !m_zipNames.empty();
    // m_cursorIndex is the number of headers read so far; the last one read
    // is index m_cursorIndex - 1.
    // A walk that once failed to read header k fails there every time: the
    // entries from k on answer at once instead of each reopening the archive.
    if (!byName && m_walkFailure && index >= m_walkFailure->first)
        return m_walkFailure->second;
    // The same within a cabinet's folder, which is walked from its first file.
    if (std::optional<Result> failed = m_cabinet.walkFailure(index))
        return *failed;
    bool reusable = m_cursor && m_cursorAligned && index < m_cursorEnd &&
                    (index >= m_cursorIndex || (m_cursorFresh && index + 1 == m_cursorIndex));
    if (!reusable) {
        m_cursor.reset();
        m_cursorIndex = 0;
        m_cursorFresh = false;
        m_cursorAligned = true;
        m_cursorEnd = SIZE_MAX;
        if (!m_cabinet.empty()) {
            if (Result r = openCabinetAt(index); !r.ok())
                return r;
        } else if (Result r = openHandle(m_cursor, m_cursorSource); !r.ok()) {
            return r;
        }
    }
    while (m_cursorIndex <= index) {
        struct archive_entry* e = nullptr;
        int rc = archive_read_next_header(m_cursor.get(), &e);
        ++m_headersRead;
        if (rc == ARCHIVE_EOF || rc < ARCHIVE_WARN) {
            std::string message = rc == ARCHIVE_EOF ? "the archive has fewer entries than when it was listed"
                                                    : archiveError(m_cursor.get(), "broken archive header");
            const Status status = m_cursorSource && m_cursorSource->failure().status == Status::TooLarge
                                      ? Status::TooLarge
                                      : Status::Corrupt;
            if (m_cursorAligned && m_cursorEnd == SIZE_MAX)
                m_walkFailure.emplace(m_cursorIndex, Result::fail(status, message));
            else if (m_cursorAligned)
                m_cabinet.noteWalkFailure(m_cursorIndex, Result::fail(status, message));
            m_cursor.reset();
            return Result::fail(status, message);
        }
        ++m_cursorIndex;
        m_cursorFresh = true;
        m_cursorSparse = archive_entry_sparse_count(e) > 0;
        if (m_cursorIndex == index + 1 && byName && !m_zipNames.matches(index, archive_entry_pathname(e)))
            return findZipEntry(index);
    }
    return Result::success();
}

Result LibarchiveReader::findZipEntry(size_t index)
{
    // The walk did not land on the listed entry: look for it by name (the
    // k-th entry of that name), or failing that trust the position; the
    // CRC check after decoding catches a wrong guess.
    size_t wanted = m_zipNames.sameNamesBefore(index);
    m_cursor.reset();
    if (Result r = openHandle(m_cursor, m_cursorSource); !r.ok())
        return r;
    m_cursorAligned = false;
    m_cursorFresh = false;
    for (;;) {
        struct archive_entry* e = nullptr;
        int rc = archive_read_next_header(m_cursor.get(), &e);
        if (rc == ARCHIVE_EOF || rc < ARCHIVE_WARN)
            break;
        if (m_zipNames.matches(index, archive_entry_pathname(e)) && wanted-- == 0) {
            m_cursorFresh = true;
            return Result::success();
        }
    }
    m_cursor.reset();
    m_cursorIndex = 0;
    Result r = walkTo(index, false);  // a plain positional walk
    m_cursorAligned = false;
    return r;
}

Result LibarchiveReader::extract(size_t index, Sink& sink)
{
    if (index >= m_entries.size())
        return Result::fail(Status::Corrupt, "no entry " + std::to_string(index));
    if (m_undecodable[index])
        return Result::fail(Status::Unsupported, "compression method " + m_entries[index].method + " is not supported");
    if (m_entries[index].encrypted)
        return Result::fail(Status::Unsupported, "the entry is encrypted");
    Utf8LocaleScope scope;
    if (m_entries[index].type == EntryType::File && index < m_dataFrom.size())
        index = m_dataFrom[index];
    // A cabinet folder is one compressed stream: past the place where it
    // once failed to decode, it fails again.
    if (m_cabinet.damaged(index))
        return Result::fail(Status::Corrupt, "the data before it in its folder is damaged");
    if (Result r = walkTo(index); !r.ok())
        return r;
    m_cursorFresh = false;
    if (m_entries[index].type != EntryType::File)
        return Result::success();

    struct archive* a = m_cursor.get();
    uint64_t written = 0;
    for (;;) {
        const void* buf = nullptr;
        size_t len = 0;
        la_int64_t offset = 0;
        int rc = archive_read_data_block(a, &buf, &len, &offset);
        if (rc == ARCHIVE_EOF)
            break;
        if (rc != ARCHIVE_OK) {
            // Data warnings are checksum or size mismatches found by libarchive.
            Status s = rc == ARCHIVE_WARN ? Status::CrcError : Status::Corrupt;
            std::string message = archiveError(a, "broken entry data");
            if (m_cursorSource && (m_cursorSource->failure().status == Status::CrcError ||
                                   m_cursorSource->failure().status == Status::TooLarge))
                s = m_cursorSource->failure().status;
            // Only a fatal error spends the handle; after the others the next
            // header can still be read, so the walk goes on from here.
            if (rc == ARCHIVE_FATAL) {
                m_cursor.reset();
                m_cabinet.noteDamage(index);
            }
            return Result::fail(s, message);
        }
        if (offset < 0 || static_cast<uint64_t>(offset) < written) {
            m_cursor.reset();
            return Result::fail(Status::Corrupt, "entry data goes backwards");
        }
        // Sparse entries: the holes stay holes.
        if (written < static_cast<uint64_t>(offset)) {
            if (!sink.skip(static_cast<uint64_t>(offset) - written))
                return Result::fail(Status::Aborted, "stopped by the receiver");
            written = static_cast<uint64_t>(offset);
        }
        if (len > 0 && !sink.write(buf, len))
            return Result::fail(Status::Aborted, "stopped by the receiver");
        written += len;
    }
    // A sparse entry may end in a hole that no block reports.
    const Entry& entry = m_entries[index];
    if (m_cursorSparse && entry.sizeKnown && written < entry.size && !sink.skip(entry.size - written))
        return Result::fail(Status::Aborted, "stopped by the receiver");
    return Result::success();
}

}  // namespace arc
