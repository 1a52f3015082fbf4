#include "archivers/libarchive/bounded_source.h"

#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "archivers/libarchive/gzip_check.h"

namespace arc {

BoundedSource::BoundedSource() : m_limits(currentOutputLimits()) {}

BoundedSource::~BoundedSource()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

Result BoundedSource::open(const std::string& posixPath, bool gzip,
                           const std::function<void(struct archive*)>& addFilters)
{
    m_fd = ::open(posixPath.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        return Result::fail(Status::ReadError, "cannot read " + posixPath + ": " + std::strerror(errno));
    m_fileSize = static_cast<uint64_t>(st.st_size);
    m_end = m_fileSize;
    if (gzip) {
        m_gzip = std::make_unique<GzipSource>();
        return m_gzip->open(posixPath);
    }
    if (addFilters) {
        // The raw format takes any file as one entry, whose data is the file
        // decoded by every filter that recognised it.
        m_decoder.reset(archive_read_new());
        if (!m_decoder)
            return Result::fail(Status::OutOfMemory, "libarchive handle");
        archive_read_support_format_raw(m_decoder.get());
        addFilters(m_decoder.get());
        struct archive_entry* entry = nullptr;
        if (archive_read_open_filename(m_decoder.get(), posixPath.c_str(), 16 * 1024) != ARCHIVE_OK ||
            archive_read_next_header(m_decoder.get(), &entry) < ARCHIVE_WARN ||
            archive_filter_count(m_decoder.get()) < 2) {
            // Not compressed, or not in a way these filters know: the
            // format's own handle reads the file and says what it is.
            m_decoder.reset();
            return Result::success();
        }
        for (int i = 0, n = archive_filter_count(m_decoder.get()); i < n; ++i)
            m_decoderFilters.push_back(archive_filter_code(m_decoder.get(), i));
    }
    return Result::success();
}

Result BoundedSource::openWindow(const std::string& posixPath, uint64_t begin, uint64_t end, std::vector<Patch> patches)
{
    if (Result r = open(posixPath, false); !r.ok())
        return r;
    m_begin = std::min(begin, m_fileSize);
    m_end = std::clamp(end, m_begin, m_fileSize);
    m_patches = std::move(patches);
    return Result::success();
}

int BoundedSource::attach(struct archive* a)
{
    archive_read_set_read_callback(a, &BoundedSource::read);
    if (!m_gzip && !m_decoder) {
        archive_read_set_skip_callback(a, &BoundedSource::skip);
        archive_read_set_seek_callback(a, &BoundedSource::seek);
    }
    archive_read_set_callback_data(a, this);
    return archive_read_open1(a);
}

const Result& BoundedSource::failure() const
{
    if (!m_tooLarge.ok() || !m_gzip)
        return m_tooLarge;
    return m_gzip->failure();
}

bool BoundedSource::withinRatio(struct archive* a, uint64_t more)
{
    if (m_tooLarge.ok() && m_limits.ratioAllows(m_decoded + more, m_fileSize)) {
        m_decoded += more;
        return true;
    }
    if (m_tooLarge.ok())
        m_tooLarge = Result::fail(Status::TooLarge, "the archive decodes to far more data than its size allows");
    archive_set_error(a, EFBIG, "%s", m_tooLarge.message.c_str());
    return false;
}

la_ssize_t BoundedSource::read(struct archive* a, void* client, const void** buffer)
{
    auto* self = static_cast<BoundedSource*>(client);
    if (self->m_gzip) {
        const long n = self->m_gzip->read(buffer);
        if (n < 0)
            archive_set_error(a, EIO, "%s", self->m_gzip->failure().message.c_str());
        if (n > 0 && !self->withinRatio(a, static_cast<uint64_t>(n)))
            return -1;
        return n;
    }
    if (self->m_decoder) {
        size_t size = 0;
        la_int64_t offset = 0;
        const int rc = archive_read_data_block(self->m_decoder.get(), buffer, &size, &offset);
        if (rc == ARCHIVE_EOF)
            return 0;
        if (rc < ARCHIVE_WARN) {
            const char* why = archive_error_string(self->m_decoder.get());
            archive_set_error(a, EIO, "%s", why && *why ? why : "the compressed data is damaged");
            return -1;
        }
        if (size > 0 && !self->withinRatio(a, size))
            return -1;
        return static_cast<la_ssize_t>(size);
    }
    const uint64_t at = self->m_begin + self->m_position;
    const size_t want =
        static_cast<size_t>(std::min<uint64_t>(self->m_buffer.size(), self->m_end - std::min(at, self->m_end)));
    if (want == 0)
        return 0;
    ssize_t n;
    do
        n = ::pread(self->m_fd, self->m_buffer.data(), want, static_cast<off_t>(at));
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        archive_set_error(a, errno, "cannot read the archive: %s", std::strerror(errno));
        return -1;
    }
    const uint64_t end = at + static_cast<uint64_t>(n);
    for (const auto& [offset, bytes] : self->m_patches)
        for (size_t k = 0; k < bytes.size(); ++k)
            if (offset + k >= at && offset + k < end)
                self->m_buffer[offset + k - at] = static_cast<unsigned char>(bytes[k]);
    self->m_position += static_cast<uint64_t>(n);
    *buffer = self->m_buffer.data();
    return n;
}

la_int64_t BoundedSource::skip(struct archive*, void* client, la_int64_t request)
{
    auto* self = static_cast<BoundedSource*>(client);
    const uint64_t left = self->m_end - self->m_begin - std::min(self->m_position, self->m_end - self->m_begin);
    const uint64_t step = std::min<uint64_t>(request > 0 ? static_cast<uint64_t>(request) : 0, left);
    self->m_position += step;
    return static_cast<la_int64_t>(step);
}

la_int64_t BoundedSource::seek(struct archive*, void* client, la_int64_t offset, int whence)
{
    auto* self = static_cast<BoundedSource*>(client);
    const int64_t size = static_cast<int64_t>(self->m_end - self->m_begin);
    int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<int64_t>(self->m_position) : size;
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END)
        return ARCHIVE_FATAL;
    const int64_t target = base + offset;
    if (target < 0)
        return ARCHIVE_FATAL;
    self->m_position = static_cast<uint64_t>(target);
    return target;
}

}  // namespace arc
