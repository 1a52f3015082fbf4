// The exported entries of every archiver library. Nothing may escape them as
// a C++ exception: the program calls them through C function pointers.
#include "archivers/common/library.h"

#include <cstring>
#include <filesystem>
#include <new>

#include "archivers/common/checkedsink.h"
#include "archivers/common/commandline.h"
#include "archivers/common/entryrecord.h"
#include "archivers/common/extractor.h"
#include "archivers/common/handletable.h"
#include "archivers/common/outputtext.h"
#include "archivers/common/pathmap.h"
#include "archivers/common/progress.h"
#include "archivers/common/wildcard.h"

namespace arc::entries {

namespace {

// Runs `body`, turning exceptions into `onError`.
template <typename T, typename F> T guarded(T onError, F&& body)
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return onError;
    } catch (...) {
        return onError;
    }
}

struct Opened {
    int code = ArcOk;
    std::string message;
    std::unique_ptr<Reader> reader;
    uint64_t archiveSize = 0;  // 0 when it cannot be told
};

// `wanted`, when given, lets the reader list only the names it matches.
Opened openReader(const LibraryDefinition& lib, const std::string& windowsName, const WildcardSet* wanted = nullptr)
{
    Opened o;
    const std::string posix = toPosix(windowsName);
    if (posix.empty()) {
        o.code = ArcCannotOpen;
        o.message = "no such drive: " + windowsName;
        return o;
    }
    o.reader = lib.makeReader ? lib.makeReader(posix) : nullptr;
    if (!o.reader) {
        o.code = ArcNotArchive;
        o.message = std::string("not an archive for ") + lib.libraryName + ": " + windowsName;
        return o;
    }
    std::error_code error;
    const auto size = std::filesystem::file_size(posix, error);
    if (!error)
        o.archiveSize = size;
    o.reader->listOnly(wanted);
    const Result r = o.reader->open(posix);
    if (!r.ok()) {
        o.code = errorFromStatus(r.status);
        o.message =
            std::string(errorText(o.code)) + ": " + windowsName + (r.message.empty() ? "" : " (" + r.message + ")");
        o.reader.reset();
    }
    return o;
}

int walk(OpenArchive& archive, void* record)
{
    const auto& entries = archive.reader->entries();
    for (size_t i = archive.next; i < entries.size(); ++i) {
        if (archive.find.matches(entries[i].name)) {
            fillEntryRecord(entries[i], static_cast<unsigned char*>(record));
            archive.next = i + 1;
            return ArcOk;
        }
    }
    archive.next = entries.size();
    return ArcEndOfList;
}

// Copies into the caller's buffer; refuses what does not fit.
class MemorySink : public Sink {
public:
    MemorySink(LPBYTE buffer, DWORD size) : m_buffer(buffer), m_size(size) {}
    bool write(const void* data, size_t size) override
    {
        const size_t room = m_size - m_used;
        const size_t n = size < room ? size : room;
        if (n)
            std::memcpy(m_buffer + m_used, data, n);
        m_used += n;
        if (n < size)
            m_overflow = true;
        return !m_overflow;
    }
    DWORD used() const { return static_cast<DWORD>(m_used); }
    bool overflow() const { return m_overflow; }

private:
    LPBYTE m_buffer;
    size_t m_size;
    size_t m_used = 0;
    bool m_overflow = false;
};

}  // namespace

int command(const LibraryDefinition& lib, HWND, LPCSTR commandLine, LPSTR output, DWORD outputSize)
{
    if (output && outputSize)
        output[0] = 0;
    OutputText text;
    const int code = guarded<int>(ArcOutOfMemory, [&]() -> int {
        if (!commandLine) {
            text.line("no command line");
            return ArcBadCommand;
        }
        const ParsedCommand parsed = parseCommandLine(lib.dialect, commandLine, true);
        if (parsed.code != ArcOk) {
            text.line(parsed.message);
            return parsed.code;
        }
        const CommandRequest& request = parsed.request;
        // Named entries: the reader need not build the others' entries.
        const WildcardSet wanted(request.patterns, request.brackets);
        Opened opened = openReader(lib, request.archive, wanted.empty() ? nullptr : &wanted);
        if (opened.code != ArcOk) {
            text.line(opened.message);
            return opened.code;
        }
        if (request.command == Command::Test)
            return testEntries(*opened.reader, request, text, opened.archiveSize);
        ExtractTarget target;
        target.archiveSize = opened.archiveSize;
        target.windowsFolder = request.destination;
        if (!request.destination.empty()) {
            target.posixFolder = toPosix(request.destination);
            if (target.posixFolder.empty()) {
                text.line("no such drive: " + request.destination);
                return ArcWriteError;
            }
        }
        Progress progress(ownerWindow(lib), request.archive);
        return extractEntries(*opened.reader, request, target, progress, text);
    });
    if (code == ArcOutOfMemory && text.text().empty())
        text.line(std::string(errorText(code)));
    text.copyTo(output, outputSize);
    return code;
}

uint32_t openArchive(const LibraryDefinition& lib, HWND, LPCSTR fileName, DWORD)
{
    return guarded<uint32_t>(0, [&]() -> uint32_t {
        if (!fileName)
            return 0;
        Opened opened = openReader(lib, fileName);
        if (!opened.reader)
            return 0;
        auto archive = std::make_shared<OpenArchive>();
        archive->library = &lib;
        archive->reader = std::move(opened.reader);
        return HandleTable::instance().add(std::move(archive));
    });
}

int closeArchive(const LibraryDefinition& lib, uint32_t archive)
{
    return guarded<int>(ArcBadHandle,
                        [&] { return HandleTable::instance().remove(archive, lib) ? ArcOk : ArcBadHandle; });
}

int findFirst(const LibraryDefinition& lib, uint32_t handle, LPCSTR wildName, void* record)
{
    return guarded<int>(ArcOutOfMemory, [&]() -> int {
        auto archive = HandleTable::instance().get(handle, lib);
        if (!archive)
            return ArcBadHandle;
        if (!record)
            return ArcBadArgument;
        std::lock_guard lock(archive->mutex);
        archive->find = WildcardSet(splitWildcards(wildName));
        archive->next = 0;
        archive->findStarted = true;
        return walk(*archive, record);
    });
}

int findNext(const LibraryDefinition& lib, uint32_t handle, void* record)
{
    return guarded<int>(ArcOutOfMemory, [&]() -> int {
        auto archive = HandleTable::instance().get(handle, lib);
        if (!archive)
            return ArcBadHandle;
        if (!record)
            return ArcBadArgument;
        std::lock_guard lock(archive->mutex);
        // Without FindFirst, FindNext walks every entry from the start.
        archive->findStarted = true;
        return walk(*archive, record);
    });
}

BOOL checkArchive(const LibraryDefinition& lib, LPCSTR fileName, int mode)
{
    return guarded<BOOL>(FALSE, [&]() -> BOOL {
        if (!fileName)
            return FALSE;
        if ((mode & CheckModeQuick) && lib.quickCheck) {
            const std::string posix = toPosix(fileName);
            return !posix.empty() && lib.quickCheck(posix);
        }
        Opened opened = openReader(lib, fileName);
        if (!opened.reader)
            return FALSE;
        if (mode & CheckModeQuick)
            return TRUE;
        OutputText ignored;
        return testEntries(*opened.reader, CommandRequest{}, ignored, opened.archiveSize) == ArcOk;
    });
}

BOOL setOwnerWindowEx(const LibraryDefinition& lib, HWND window, void* callback)
{
    return guarded<BOOL>(FALSE, [&] { return registerOwnerWindow(lib, window, callback) ? TRUE : FALSE; });
}

BOOL killOwnerWindowEx(const LibraryDefinition& lib, HWND window)
{
    return guarded<BOOL>(FALSE, [&] { return releaseOwnerWindow(lib, window) ? TRUE : FALSE; });
}

int extractMem(const LibraryDefinition& lib, HWND, LPCSTR commandLine, LPBYTE buffer, DWORD bufferSize, void* timeOut,
               WORD* attributesOut, DWORD* writtenOut)
{
    if (writtenOut)
        *writtenOut = 0;
    return guarded<int>(ArcOutOfMemory, [&]() -> int {
        if (!commandLine || (!buffer && bufferSize))
            return ArcBadArgument;
        const ParsedCommand parsed = parseCommandLine(lib.dialect, commandLine, false);
        if (parsed.code != ArcOk)
            return parsed.code;
        if (parsed.request.patterns.empty())
            return ArcBadCommand;
        const WildcardSet wanted(parsed.request.patterns, parsed.request.brackets);
        Opened opened = openReader(lib, parsed.request.archive, &wanted);
        if (opened.code != ArcOk)
            return opened.code;
        const auto& entries = opened.reader->entries();
        for (size_t i = 0; i < entries.size(); ++i) {
            const Entry& entry = entries[i];
            if (entry.type != EntryType::File || !wanted.matches(entry.name))
                continue;
            if (entry.encrypted)
                return ArcUnsupportedMethod;
            if (timeOut) {
                const DWORD dos = entry.dosDateTime;
                std::memcpy(timeOut, &dos, sizeof dos);
            }
            if (attributesOut)
                *attributesOut = entry.attributes;
            Progress progress(ownerWindow(lib), parsed.request.archive);
            if (!progress.begin(entry, ""))
                return ArcAborted;
            MemorySink memory(buffer, bufferSize);
            ProgressSink reported(memory, progress);
            CheckedSink checked(entry, reported, opened.archiveSize);
            const Result result = checked.finish(opened.reader->extract(i, checked));
            if (writtenOut)
                *writtenOut = memory.used();
            if (progress.abortRequested())
                return ArcAborted;
            if (memory.overflow())
                return ArcBufferTooSmall;
            if (!result.ok())
                return errorFromStatus(result.status);
            if (!progress.end())
                return ArcAborted;
            return ArcOk;
        }
        return ArcNoMatch;
    });
}

int getArchiveType(const LibraryDefinition& lib, LPCSTR fileName)
{
    return guarded(0, [&]() -> int {
        if (!fileName || !lib.archiveType)
            return 0;
        const std::string posix = toPosix(fileName);
        return posix.empty() ? 0 : lib.archiveType(posix);
    });
}

}  // namespace arc::entries
