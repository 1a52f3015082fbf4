#include "archivers/common/extractor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "archivers/common/checkedsink.h"
#include "archivers/common/dostime.h"
#include "archivers/common/errors.h"
#include "archivers/common/outputlimits.h"
#include "archivers/common/safepath.h"
#include "archivers/common/wildcard.h"

namespace arc {

namespace {

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& o) noexcept : m_fd(o.release()) {}
    Fd& operator=(Fd&& o) noexcept
    {
        if (this != &o) {
            reset();
            m_fd = o.release();
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// mkdir -p for the destination itself (named by the user, trusted).
bool makeFolders(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeFolders(path.substr(0, slash)))
        return false;
    return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
}

// Enters (creating when missing) each folder part below `base`, never
// following a link.
Fd enterFolders(int base, const std::vector<std::string>& parts, size_t count, std::string& error)
{
    Fd current(::fcntl(base, F_DUPFD_CLOEXEC, 0));
    for (size_t i = 0; i < count && current.valid(); ++i) {
        if (::mkdirat(current.get(), parts[i].c_str(), 0777) != 0 && errno != EEXIST) {
            error = "cannot create folder " + parts[i] + ": " + std::strerror(errno);
            return Fd();
        }
        Fd next(::openat(current.get(), parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next.valid()) {
            error = "cannot enter folder " + parts[i] + ": " + std::strerror(errno);
            return Fd();
        }
        current = std::move(next);
    }
    return current;
}

// Writes an entry's data into its output file, leaving the destination's
// file system its reserve of free space (outputlimits.h) and making holes
// of the holes of sparse entries.
class FileSink : public Sink {
public:
    FileSink(int fd, const OutputLimits& limits) : m_fd(fd), m_limits(limits) {}
    bool write(const void* data, size_t size) override
    {
        if (!roomFor(size))
            return false;
        auto p = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t n = ::write(m_fd, p, size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                m_errno = n < 0 ? errno : ENOSPC;
                return false;
            }
            p += n;
            size -= static_cast<size_t>(n);
            m_position += static_cast<uint64_t>(n);
        }
        m_end = m_position;
        return true;
    }
    bool skip(uint64_t size) override
    {
        if (size > static_cast<uint64_t>(INT64_MAX) - m_position ||
            ::lseek(m_fd, static_cast<off_t>(size), SEEK_CUR) < 0) {
            m_errno = errno ? errno : EFBIG;
            return false;
        }
        m_position += size;
        return true;
    }
    // Gives a file that ends in a hole its full length.
    bool finish()
    {
        if (m_position == m_end || ::ftruncate(m_fd, static_cast<off_t>(m_position)) == 0)
            return true;
        m_errno = errno;
        return false;
    }
    int error() const { return m_errno; }
    bool reserveReached() const { return m_reserveReached; }

private:
    // Asks the file system afresh every 16 MiB written, and whenever the
    // room known from the last answer runs out.
    bool roomFor(size_t size)
    {
        if (size <= m_room && m_sinceAsked < (uint64_t(16) << 20)) {
            m_room -= size;
            m_sinceAsked += size;
            return true;
        }
        struct statvfs fs {};
        if (::fstatvfs(m_fd, &fs) != 0)
            return true;  // cannot tell: the write itself will say
        const uint64_t unit = fs.f_frsize ? fs.f_frsize : fs.f_bsize;
        const uint64_t available = static_cast<uint64_t>(fs.f_bavail) * unit;
        const uint64_t reserve = m_limits.reserveFor(static_cast<uint64_t>(fs.f_blocks) * unit);
        m_sinceAsked = 0;
        m_room = available > reserve ? available - reserve : 0;
        if (size > m_room) {
            m_reserveReached = true;
            m_errno = ENOSPC;
            return false;
        }
        m_room -= size;
        m_sinceAsked += size;
        return true;
    }

    int m_fd;
    const OutputLimits& m_limits;
    uint64_t m_position = 0;
    uint64_t m_end = 0;  // after the last byte written
    uint64_t m_room = 0;
    uint64_t m_sinceAsked = 0;
    int m_errno = 0;
    bool m_reserveReached = false;
};

// An output file that becomes visible under its name only on commit().
class PendingFile {
public:
    PendingFile(int folder, std::string name) : m_folder(folder), m_name(std::move(name)) {}
    ~PendingFile()
    {
        m_fd.reset();
        if (!m_tempName.empty())
            ::unlinkat(m_folder, m_tempName.c_str(), 0);
    }
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    bool create()
    {
        m_fd = Fd(::openat(m_folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
        if (m_fd.valid())
            return true;
        // File systems without unnamed files: a hidden name, exclusive.
        std::random_device random;
        for (int attempt = 0; attempt < 16; ++attempt) {
            char suffix[32];
            std::snprintf(suffix, sizeof suffix, ".%08x.part", random());
            m_tempName = ".tb-" + m_name.substr(0, 180) + suffix;
            m_fd =
                Fd(::openat(m_folder, m_tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
            if (m_fd.valid())
                return true;
            if (errno != EEXIST)
                break;
        }
        m_tempName.clear();
        return false;
    }
    int fd() const { return m_fd.get(); }

    bool commit(time_t mtime, std::string& error)
    {
        if (mtime > 0) {
            const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
            ::futimens(m_fd.get(), times);
        }
        if (m_tempName.empty()) {
            // The unnamed file takes the target's name at once where nothing
            // has it yet; otherwise a hidden name, to be swapped with the target.
            const std::string proc = "/proc/self/fd/" + std::to_string(m_fd.get());
            if (::linkat(AT_FDCWD, proc.c_str(), m_folder, m_name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                m_fd.reset();
                return true;
            }
            std::random_device random;
            for (int attempt = 0; attempt < 16 && m_tempName.empty(); ++attempt) {
                char suffix[32];
                std::snprintf(suffix, sizeof suffix, ".%08x.part", random());
                std::string candidate = ".tb-" + m_name.substr(0, 180) + suffix;
                if (::linkat(AT_FDCWD, proc.c_str(), m_folder, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0)
                    m_tempName = candidate;
                else if (errno != EEXIST)
                    break;
            }
            if (m_tempName.empty()) {
                error = std::string("cannot name the output file: ") + std::strerror(errno);
                return false;
            }
        }
        m_fd.reset();
        if (swapWithTarget(error))
            return error.empty();
        if (::renameat(m_folder, m_tempName.c_str(), m_folder, m_name.c_str()) != 0) {
            error = std::string("cannot replace ") + m_name + ": " + std::strerror(errno);
            return false;
        }
        m_tempName.clear();
        return true;
    }

private:
    // An existing target is exchanged with the hidden file, which then goes
    // with the old content: renaming over it would make ext4 write the new
    // data out first (its guard for replaced files), which costs more than
    // the rest of a small entry's extraction. False when the file system
    // cannot exchange or the target has gone, for a plain rename; true when
    // done, with `error` set if the target was no file to remove (a folder
    // put there meanwhile), which is swapped back as a rename would fail.
    bool swapWithTarget(std::string& error)
    {
        if (::renameat2(m_folder, m_tempName.c_str(), m_folder, m_name.c_str(), RENAME_EXCHANGE) != 0)
            return false;
        if (::unlinkat(m_folder, m_tempName.c_str(), 0) != 0) {
            error = std::string("cannot replace ") + m_name + ": " + std::strerror(errno);
            ::renameat2(m_folder, m_tempName.c_str(), m_folder, m_name.c_str(), RENAME_EXCHANGE);
            return true;
        }
        m_tempName.clear();
        return true;
    }

    int m_folder;
    std::string m_name;
    std::string m_tempName;
    Fd m_fd;
};

// What Linux file systems take: 255 bytes a part, 4,096 for the path.
// Longer names fail their entry alone, before anything is written.
bool fitsFileSystem(const std::vector<std::string>& parts)
{
    size_t total = 0;
    for (const std::string& part : parts) {
        if (part.size() > 255)
            return false;
        total += part.size() + 1;
    }
    return total <= 4096;
}

std::string joinWindows(const std::string& folder, const std::vector<std::string>& parts)
{
    std::string out = folder;
    if (!out.empty() && out.back() != '\\' && out.back() != '/')
        out += '\\';
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i)
            out += '\\';
        out += parts[i];
    }
    return out;
}

struct Selection {
    std::vector<size_t> indices;
    std::vector<bool> patternUsed;
};

Selection select(const Reader& reader, const CommandRequest& request)
{
    Selection s;
    std::vector<WildcardPattern> patterns;
    for (const std::string& p : request.patterns)
        patterns.emplace_back(p, request.brackets);
    s.patternUsed.assign(request.patterns.size(), false);
    const auto& entries = reader.entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (patterns.empty()) {
            s.indices.push_back(i);
            continue;
        }
        bool any = false;
        for (size_t p = 0; p < patterns.size(); ++p) {
            if (patterns[p].matches(entries[i].name)) {
                s.patternUsed[p] = true;
                any = true;
            }
        }
        if (any)
            s.indices.push_back(i);
    }
    return s;
}

int noMatchCheck(const Selection& s, const CommandRequest& request, OutputText& output)
{
    int code = ArcOk;
    for (size_t p = 0; p < s.patternUsed.size(); ++p) {
        if (!s.patternUsed[p]) {
            output.line("no entry matches: " + request.patterns[p]);
            code = ArcNoMatch;
        }
    }
    return code;
}

}  // namespace

int extractEntries(Reader& reader, const CommandRequest& request, const ExtractTarget& target, Progress& progress,
                   OutputText& output)
{
    // Each failure with the output name it concerns: a link refused under a
    // name that another entry then (or before) wrote is no failure of that
    // name, so it does not count once the name was written.
    std::vector<std::pair<int, std::string>> failures;
    std::set<std::string> written;
    auto firstError = [&] {
        for (const auto& [code, name] : failures)
            if (name.empty() || !written.count(name))
                return code;
        return int(ArcOk);
    };
    // note(): an entry failed, go on with the others; stop(): give up now.
    auto note = [&](int code, const std::string& text, const std::string& name = {}) {
        output.line(text);
        failures.emplace_back(code, name);
    };
    auto stop = [&](int code, const std::string& text) {
        note(code, text);
        return firstError();
    };
    auto outputName = [&](const std::vector<std::string>& parts) {
        std::string name;
        for (size_t i = request.flat && !parts.empty() ? parts.size() - 1 : 0; i < parts.size(); ++i)
            name += (name.empty() ? "" : "/") + parts[i];
        return name;
    };
    const std::string folder = target.posixFolder.empty() ? std::string(".") : target.posixFolder;
    if (!makeFolders(folder))
        return stop(ArcWriteError, "cannot create folder " + target.windowsFolder);
    Fd base(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!base.valid())
        return stop(ArcWriteError, "cannot open folder " + target.windowsFolder);

    const OutputLimits limits = currentOutputLimits();
    const Selection selection = select(reader, request);
    const auto& entries = reader.entries();
    for (size_t index : selection.indices) {
        const Entry& entry = entries[index];
        std::vector<std::string> parts = safeComponents(entry.name);
        if (entry.type == EntryType::Symlink || entry.type == EntryType::Other) {
            note(ArcUnsafeEntry, "skipped (link or special file): " + entry.name, outputName(parts));
            continue;
        }
        if (parts.empty()) {
            note(ArcUnsafeEntry, "skipped (unusable name): " + entry.name);
            continue;
        }
        if (!fitsFileSystem(parts)) {
            note(ArcUnsafeEntry, "skipped (name too long): " + entry.name.substr(0, 200));
            continue;
        }
        if (entry.type == EntryType::Directory) {
            if (request.flat)
                continue;
            std::string error;
            if (!enterFolders(base.get(), parts, parts.size(), error).valid())
                note(ArcWriteError, error);
            continue;
        }
        if (entry.encrypted) {
            note(ArcUnsupportedMethod, "skipped (encrypted): " + entry.name);
            continue;
        }
        if (request.flat)
            parts.erase(parts.begin(), parts.end() - 1);
        const std::string displayName = joinWindows(target.windowsFolder, parts);
        std::string error;
        Fd dir = enterFolders(base.get(), parts, parts.size() - 1, error);
        if (!dir.valid()) {
            // A folder that cannot be made or is a link spoils this entry only.
            note(ArcWriteError, error);
            continue;
        }
        const std::string& leaf = parts.back();
        struct stat st {};
        if (::fstatat(dir.get(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            if (S_ISDIR(st.st_mode)) {
                note(ArcWriteError, "a folder is in the way: " + displayName);
                continue;
            }
            const bool keep = request.overwrite == Overwrite::Never ||
                              (request.overwrite == Overwrite::IfNewer && S_ISREG(st.st_mode) &&
                               timeFromDosDateTime(entry.dosDateTime) <= st.st_mtime);
            if (keep) {
                output.line("skipped (exists): " + displayName);
                continue;
            }
        }
        PendingFile file(dir.get(), leaf);
        if (!file.create())
            return stop(ArcWriteError, "cannot create " + displayName + ": " + std::strerror(errno));
        if (!progress.begin(entry, displayName))
            return stop(ArcAborted, "aborted: " + entry.name);
        FileSink fileSink(file.fd(), limits);
        ProgressSink progressSink(fileSink, progress);
        CheckedSink checked(entry, progressSink, target.archiveSize);
        const Result decoded = reader.extract(index, checked);
        Result result = checked.finish(decoded);
        if (fileSink.reserveReached())
            return stop(ArcOutputLimit, "stopped: " + displayName + " would leave too little free disk space");
        if (checked.targetRefused()) {
            if (progress.abortRequested())
                return stop(ArcAborted, "aborted: " + entry.name);
            return stop(ArcWriteError, "write error: " + displayName + ": " + std::strerror(fileSink.error()));
        }
        if (result.ok() && !fileSink.finish())
            return stop(ArcWriteError, "write error: " + displayName + ": " + std::strerror(fileSink.error()));
        if (!result.ok()) {
            const int code = errorFromStatus(result.status);
            const std::string text = std::string(errorText(code)) + ": " + entry.name +
                                     (result.message.empty() ? "" : " (" + result.message + ")");
            // The archive itself failing to read, memory running out or a
            // decompression bomb ends it all.
            if (result.status == Status::OutOfMemory || result.status == Status::ReadError ||
                result.status == Status::TooLarge)
                return stop(code, text);
            note(code, text);
            continue;
        }
        if (!file.commit(timeFromDosDateTime(entry.dosDateTime), error))
            return stop(ArcWriteError, error);
        written.insert(outputName(parts));
        output.line("extracted: " + displayName);
        if (!progress.end())
            return stop(ArcAborted, "aborted after: " + entry.name);
    }
    const int noMatch = noMatchCheck(selection, request, output);
    return firstError() != ArcOk ? firstError() : noMatch;
}

int testEntries(Reader& reader, const CommandRequest& request, OutputText& output, uint64_t archiveSize)
{
    int firstError = ArcOk;
    const Selection selection = select(reader, request);
    const auto& entries = reader.entries();
    for (size_t index : selection.indices) {
        const Entry& entry = entries[index];
        if (entry.type != EntryType::File)
            continue;
        NullSink null;
        CheckedSink checked(entry, null, archiveSize);
        const Result result = checked.finish(reader.extract(index, checked));
        if (result.ok()) {
            output.line("ok: " + entry.name);
        } else {
            const int code = errorFromStatus(result.status);
            output.line(std::string(errorText(code)) + ": " + entry.name);
            if (firstError == ArcOk)
                firstError = code;
        }
    }
    const int noMatch = noMatchCheck(selection, request, output);
    return firstError != ArcOk ? firstError : noMatch;
}

}  // namespace arc
