// Owner windows and the "wm_arcextract" messages sent to them (layout and
// states in extractinginfo.h).
#pragma once

#include <cstdint>
#include <string>

#include "archivers/common/extractinginfo.h"
#include "archivers/common/reader.h"
#include "platform/win32.h"

namespace arc {

struct LibraryDefinition;

// The window registered for a library (one per library; registering
// another replaces it). Returns false for a null window or a callback,
// which the libraries do not offer.
bool registerOwnerWindow(const LibraryDefinition& lib, HWND window, void* callback);
// False when `window` is not the registered one.
bool releaseOwnerWindow(const LibraryDefinition& lib, HWND window);
HWND ownerWindow(const LibraryDefinition& lib);

// One extraction's reports; silent when there is no owner window.
class Progress {
public:
    Progress(HWND owner, const std::string& archiveName);

    // Starts an entry and sends ArcStateBegin; false = stop requested.
    bool begin(const Entry& entry, const std::string& destinationName);
    // Counts written bytes; sends ArcStateWriting on the first block and
    // then every 64 KiB. False = stop requested.
    bool wrote(uint64_t bytes);
    // Sends ArcStateEnd; false = stop requested.
    bool end();
    bool abortRequested() const { return m_aborted; }

private:
    bool send(uint32_t state);

    HWND m_owner;
    UINT m_message = 0;
    EXTRACTINGINFOEX m_info{};
    uint64_t m_lastSent = 0;
    bool m_sentWriting = false;
    bool m_aborted = false;
};

// Passes data on to `target` and reports it to `progress`.
class ProgressSink : public Sink {
public:
    ProgressSink(Sink& target, Progress& progress) : m_target(target), m_progress(progress) {}
    bool write(const void* data, size_t size) override { return m_target.write(data, size) && m_progress.wrote(size); }
    bool skip(uint64_t size) override { return m_target.skip(size) && m_progress.wrote(size); }

private:
    Sink& m_target;
    Progress& m_progress;
};

}  // namespace arc
