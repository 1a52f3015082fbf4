#include "archive/wrappers/single_library_archiver.h"

#include "archive/wrappers/library_binding.h"
#include "archive/wrappers/wrapperutil.h"

namespace archives {

TSingleLibraryArchiver::TSingleLibraryArchiver(LibraryBinding& library) : m_library(library)
{
    m_library.Load();
}

void TSingleLibraryArchiver::LoadClassDLL()
{
    m_library.Load();
}

ArchiveHandle TSingleLibraryArchiver::OpenArchive(HWND window, const std::string& archiveFileName, DWORD mode)
{
    return m_library.OpenArchive(window, ExpandFileName(archiveFileName), mode);
}

int TSingleLibraryArchiver::FindFirst(ArchiveHandle archive, EntryRecord& record, const std::string& wildName)
{
    return m_library.FindFirst(archive, wildName, record);
}

int TSingleLibraryArchiver::FindNext(ArchiveHandle archive, EntryRecord& record)
{
    return m_library.FindNext(archive, record);
}

int TSingleLibraryArchiver::CloseArchive(ArchiveHandle archive)
{
    return m_library.CloseArchive(archive);
}

int TSingleLibraryArchiver::CheckArchive(const std::string& archiveFileName, int mode, int extraMode)
{
    return m_library.CheckArchive(archiveFileName, mode + extraMode);
}

bool TSingleLibraryArchiver::SetOwnerWindow(HWND window, void* callback)
{
    TArchiver::SetOwnerWindow(window, callback);
    return m_library.SetOwnerWindowEx(window, callback) != 0;
}

bool TSingleLibraryArchiver::KillOwnerWindow(HWND window)
{
    bool released = m_library.KillOwnerWindowEx(window) != 0;
    TArchiver::KillOwnerWindow(window);
    return released;
}

std::string TSingleLibraryArchiver::BuildCommandLine(const std::string& command, const std::string& archiveFileName,
                                                     bool useResFile, const FileList& files, const std::string& dir,
                                                     const TArchiverOptions& options) const
{
    TCmdOpt cmd;
    AddSwitches(cmd, options);
    AddCommonTail(cmd, options, archiveFileName, dir, useResFile, files);
    return command + cmd.Text;
}

int TSingleLibraryArchiver::RunCommand(HWND window, const std::string& commandLine, std::string& output)
{
    return CommandLibrary().Command(window, commandLine, output);
}

int TSingleLibraryArchiver::SendCommand(HWND window, const std::string& command, const std::string& archiveFileName,
                                        bool useResFile, const FileList& files, const std::string& dir,
                                        const TArchiverOptions& options, std::string& output)
{
    CommandLine = BuildCommandLine(command, archiveFileName, useResFile, files, dir, options);
    return RunCommand(window, CommandLine, output);
}

int TSingleLibraryArchiver::SendExtractMem(HWND window, const std::string& archiveFileName,
                                           const TArchiverOptions& options, const std::string& fileName, LPBYTE buffer,
                                           DWORD bufferSize, DWORD* written)
{
    CommandLine = BuildCommandLine("", archiveFileName, false, {fileName}, "", options);
    return CommandLibrary().ExtractMem(window, CommandLine, buffer, bufferSize, written);
}

}  // namespace archives
