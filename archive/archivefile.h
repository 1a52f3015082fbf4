// The archive component: holds one archive's file name, type and options,
// creates the matching archiver wrapper, forwards listing and extraction to
// it, and passes the library's progress messages on to its owner.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/archiver.h"
#include "archive/archiveroptions.h"
#include "archive/archivertype.h"
#include "archive/filelist.h"
#include "archive/libraryapi.h"
#include "platform/win32.h"

namespace archives {

// The library's extracting-information record; its layout belongs to the
// library and nothing here reads it.
struct EXTRACTINGINFOEX;
using LPEXTRACTINGINFOEX = EXTRACTINGINFOEX*;

class TArchiveFile;

// Sender, State, lpEis, Abort (false on entry; set it to ask the library to
// stop). Bind a member function with a lambda or std::bind_front.
using TArchiverProgressEvent =
    std::function<void(TArchiveFile* Sender, LONG State, LPEXTRACTINGINFOEX lpEis, bool& Abort)>;

class TArchiveFile {
public:
    TArchiveFile();
    // Destroys the progress window, the wrapper and the options. An archive
    // handle still open is left open.
    ~TArchiveFile();
    TArchiveFile(const TArchiveFile&) = delete;
    TArchiveFile& operator=(const TArchiveFile&) = delete;

    // ---- Component states set by the owner ----
    // Being edited in a form designer: a type is only stored.
    void SetDesigning(bool designing) { m_designing = designing; }
    bool Designing() const { return m_designing; }
    // Values being loaded from the stored form: a type without a wrapper is
    // accepted and stored.
    void SetLoading(bool loading) { m_loading = loading; }
    bool Loading() const { return m_loading; }

    // ---- Published properties ----
    const std::string& FileName() const { return m_fileName; }
    // Detects the type by extension and sets it first; if that throws, the
    // file name stays as it was.
    void SetFileName(const std::string& value);
    int OutputSize() const { return int(m_outputBuffer.size()); }
    // 0 or less empties the buffer; otherwise value bytes, the first one 0.
    void SetOutputSize(int value);
    TArchiverOptions& Options() { return *m_options; }
    const TArchiverOptions& Options() const { return *m_options; }
    TArchiverType ArchiverType() const { return m_archiverType; }
    // atLha..atBga make a new wrapper (even for the same type); atYz1, atGCA,
    // atBel throw EArchiver unless loading; atNone does nothing; atAutoDetect
    // is stored with the wrapper kept.
    void SetArchiverType(TArchiverType value);
    const TArchiverProgressEvent& OnProgress() const { return m_onProgress; }
    void SetOnProgress(TArchiverProgressEvent handler) { m_onProgress = std::move(handler); }

    // ---- Operations ----
    // 0 when the archive was opened, 1 when the library refused it. Resolves
    // an undecided type from the contents first.
    int OpenArchive(HWND window, int mode);
    int FindFirst(const std::string& wildName, EntryRecord& record);
    int FindNext(EntryRecord& record);
    void CloseArchive();
    // options null = the component's own Options. Returns the library's
    // result (0 = success).
    int Extract(HWND window, const TArchiverOptions* options, const std::string& dir, const FileList& files);

    // ---- State for the owner (and tests) ----
    TArchiver* Archiver() const { return m_archiver.get(); }
    ArchiveHandle GetArchiveHandle() const { return m_archiveHandle; }
    const std::string& LastCommandLine() const { return m_lastCommandLine; }
    const std::string& OutputBuffer() const { return m_outputBuffer; }
    HWND ProgressWindow() const { return m_progressWindow; }
    // The registered number of "wm_arcextract"; 0 until first needed.
    static UINT ArcExtractMessageId();

    // Answers a message of the progress window: for "wm_arcextract", 1 when
    // the handler asked to stop, else 0.
    LRESULT ProgressWndProc(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static std::unique_ptr<TArchiver> CreateArchiver(TArchiverType type);
    void ResolveAutoDetect();
    void CheckArchiver() const;
    void BeginProgress(TArchiver& archiver);
    void EndProgress(TArchiver& archiver);
    void DoProgress(LONG state, LPEXTRACTINGINFOEX lpEis, bool& abort);

    std::unique_ptr<TArchiverOptions> m_options;
    std::unique_ptr<TArchiver> m_archiver;
    // Wrappers replaced while Extract runs; kept until it has returned.
    std::vector<std::unique_ptr<TArchiver>> m_retired;
    TArchiverType m_archiverType = atAutoDetect;
    std::string m_fileName;
    std::string m_lastCommandLine;
    std::string m_outputBuffer;
    HWND m_progressWindow = nullptr;
    TArchiverProgressEvent m_onProgress;
    ArchiveHandle m_archiveHandle = 0;
    bool m_designing = false;
    bool m_loading = false;
    int m_extractDepth = 0;
    bool m_ownerRegistered = false;
    // An exception of the progress handler, held while the library runs and
    // raised once it has returned.
    std::exception_ptr m_progressError;
};

}  // namespace archives
