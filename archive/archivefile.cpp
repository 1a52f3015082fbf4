#include "archive/archivefile.h"

#include <utility>

#include "archive/archiverregistry.h"

namespace archives {
namespace {

const char* const kTypeNotIdentified = "書庫の形式を特定できませんでした。";
const char* const kTypeUndetermined = "書庫の形式を判別できません。";

UINT g_arcExtractMessageId = 0;

LRESULT progressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (auto* component = static_cast<TArchiveFile*>(GetWindowContext(window)))
        return component->ProgressWndProc(message, wParam, lParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

TArchiveFile::TArchiveFile() : m_options(std::make_unique<TArchiverOptions>()), m_fileName(UnsetText) {}

TArchiveFile::~TArchiveFile()
{
    if (m_progressWindow)
        DestroyWindow(m_progressWindow);
}

UINT TArchiveFile::ArcExtractMessageId()
{
    return g_arcExtractMessageId;
}

std::unique_ptr<TArchiver> TArchiveFile::CreateArchiver(TArchiverType type)
{
    const ArchiverRegistration* wrapper = RegisteredArchiver(type);
    if (!wrapper || !wrapper->create)
        throw EArchiver(kTypeNotIdentified);  // a program built without that wrapper
    return wrapper->create();
}

void TArchiveFile::SetFileName(const std::string& value)
{
    SetArchiverType(DetectArchiverType(value, true));
    m_fileName = value;
}

void TArchiveFile::SetArchiverType(TArchiverType value)
{
    if (m_designing) {
        m_archiverType = value;
        return;
    }
    switch (value) {
    case atLha:
    case atZip:
    case atCab:
    case atArj:
    case atTar:
    case atTgz:
    case atBZ2:
    case atRar:
    case atBga: {
        std::unique_ptr<TArchiver> created = CreateArchiver(value);  // may throw: nothing changed
        // A wrapper still inside its library call must outlive that call.
        if (m_extractDepth > 0 && m_archiver)
            m_retired.push_back(std::move(m_archiver));
        m_archiver = std::move(created);
        m_archiverType = value;
        return;
    }
    case atYz1:
    case atGCA:
    case atBel:
        if (!m_loading)
            throw EArchiver(kTypeNotIdentified);
        m_archiverType = value;
        return;
    case atNone:
        return;
    case atAutoDetect:
        m_archiverType = value;
        return;
    }
    // A number outside the enumeration (a damaged stored form) names no
    // format either, loading or not.
    throw EArchiver(kTypeNotIdentified);
}

void TArchiveFile::SetOutputSize(int value)
{
    if (value <= 0)
        m_outputBuffer.clear();
    else
        m_outputBuffer.assign(std::size_t(value), '\0');
}

void TArchiveFile::ResolveAutoDetect()
{
    if (m_archiverType == atAutoDetect)
        SetArchiverType(DetectArchiverType(m_fileName, false));
}

void TArchiveFile::CheckArchiver() const
{
    if (!m_archiver)
        throw EArchiver(kTypeUndetermined);
}

int TArchiveFile::OpenArchive(HWND window, int mode)
{
    ResolveAutoDetect();
    CheckArchiver();
    m_archiveHandle = m_archiver->OpenArchive(window, m_fileName, DWORD(mode));
    return m_archiveHandle != 0 ? 0 : 1;
}

int TArchiveFile::FindFirst(const std::string& wildName, EntryRecord& record)
{
    CheckArchiver();
    return m_archiver->FindFirst(m_archiveHandle, record, wildName);
}

int TArchiveFile::FindNext(EntryRecord& record)
{
    CheckArchiver();
    return m_archiver->FindNext(m_archiveHandle, record);
}

void TArchiveFile::CloseArchive()
{
    CheckArchiver();
    m_archiver->CloseArchive(m_archiveHandle);
    m_archiveHandle = 0;
}

int TArchiveFile::Extract(HWND window, const TArchiverOptions* options, const std::string& dir, const FileList& files)
{
    CheckArchiver();
    TArchiver& archiver = *m_archiver;
    BeginProgress(archiver);
    const TArchiverOptions& opts = options ? *options : *m_options;

    // Runs whether the library call returned or threw.
    auto finish = [&] {
        m_lastCommandLine = archiver.GetCommandLine();
        EndProgress(archiver);
        if (--m_extractDepth == 0)
            m_retired.clear();
    };
    ++m_extractDepth;
    int result = 0;
    try {
        result = archiver.Extract(window, m_fileName, opts, dir, files, opts.ResFileUsage.contains(ruOnUnpack),
                                  m_outputBuffer);
    } catch (...) {
        m_progressError = nullptr;
        finish();
        throw;
    }
    finish();
    if (m_progressError)
        std::rethrow_exception(std::exchange(m_progressError, nullptr));
    return result;
}

void TArchiveFile::BeginProgress(TArchiver& archiver)
{
    if (!m_onProgress)
        return;
    if (g_arcExtractMessageId == 0)
        g_arcExtractMessageId = RegisterWindowMessageA(ArcExtractMessageName);
    if (!m_progressWindow)
        m_progressWindow = CreateMessageWindow(&progressWindowProc, this);
    if (!m_progressWindow)
        return;  // no window, no progress
    // Marked before the call: a wrapper that fails half-way may already
    // count the window as its owner, and EndProgress must release it.
    m_ownerRegistered = true;
    try {
        archiver.SetOwnerWindow(m_progressWindow, nullptr);
    } catch (...) {
        // Progress is then simply not reported.
    }
}

void TArchiveFile::EndProgress(TArchiver& archiver)
{
    // Tied to what BeginProgress registered, so that a handler cleared during
    // Extract does not leave the library posting to our window.
    if (!m_ownerRegistered)
        return;
    m_ownerRegistered = false;
    try {
        archiver.KillOwnerWindow(m_progressWindow);
    } catch (...) {
    }
}

LRESULT TArchiveFile::ProgressWndProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == 0 || message != g_arcExtractMessageId)
        return DefWindowProcA(m_progressWindow, message, wParam, lParam);
    bool abort = false;
    DoProgress(LONG(wParam), reinterpret_cast<LPEXTRACTINGINFOEX>(lParam), abort);
    return abort ? 1 : 0;
}

void TArchiveFile::DoProgress(LONG state, LPEXTRACTINGINFOEX lpEis, bool& abort)
{
    if (!m_onProgress)
        return;
    // The handler runs inside the library's call: an exception must not
    // cross the library. It stops the library and is raised by Extract.
    // A copy, so that a handler which replaces or clears itself keeps
    // running on a live object.
    const TArchiverProgressEvent handler = m_onProgress;
    try {
        handler(this, state, lpEis, abort);
    } catch (...) {
        if (!m_progressError)
            m_progressError = std::current_exception();
        abort = true;
    }
}

}  // namespace archives
