#include "archive/archiver.h"

namespace archives {

namespace refusal {
const char* const Pack = "この形式では書庫ファイルの作成をサポートしておりません。";
const char* const RemoveItems = "この形式の書庫ではファイルの削除をサポートしておりません。";
const char* const Update = "この形式の書庫では書庫の更新をサポートしておりません。";
const char* const MakeSFX = "この形式では自己解凍書庫の作成をサポートしておりません。";
const char* const ExtractMem = "この形式ではメモリへの展開をサポートしておりません。";
const char* const CheckArchive = "この形式では書庫チェック機能をサポートしておりません。";
}  // namespace refusal

FARPROC BindEntry(HMODULE module, const char* entryName)
{
    // A null module would make the lookup search the whole process; a
    // library that was never loaded has no entries.
    FARPROC address = module ? GetProcAddress(module, entryName) : nullptr;
    if (address)
        return address;
    char path[257] = {};
    GetModuleFileNameA(module, path, sizeof path);
    path[sizeof path - 1] = 0;
    throw EArchiver(std::string(path) + " に " + entryName + " のエントリが見つかりません。");
}

void TArchiver::LoadDLL()
{
    throw EArchiver("Abstract method 'TArchiver.LoadDLL' was called");
}
void TArchiver::FreeDLL()
{
    throw EArchiver("Abstract method 'TArchiver.FreeDLL' was called");
}
void TArchiver::LoadClassDLL()
{
    LoadDLL();
}

ArchiveHandle TArchiver::OpenArchive(HWND, const std::string&, DWORD)
{
    return 0;
}
int TArchiver::FindFirst(ArchiveHandle, EntryRecord&, const std::string&)
{
    return -1;
}
int TArchiver::FindNext(ArchiveHandle, EntryRecord&)
{
    return -1;
}
int TArchiver::CloseArchive(ArchiveHandle)
{
    return 0;
}

int TArchiver::Pack(HWND, const std::string&, const TArchiverOptions&, const std::string&, const FileList&, bool,
                    std::string&)
{
    throw EArchiver(refusal::Pack);
}
int TArchiver::RemoveItems(HWND, const std::string&, const TArchiverOptions&, const std::string&, const FileList&, bool,
                           std::string&)
{
    throw EArchiver(refusal::RemoveItems);
}
int TArchiver::Update(HWND, const std::string&, const TArchiverOptions&, const std::string&, const FileList&, bool,
                      std::string&)
{
    throw EArchiver(refusal::Update);
}
int TArchiver::MakeSFX(HWND, const std::string&, const TArchiverOptions&, const std::string&, std::string&)
{
    throw EArchiver(refusal::MakeSFX);
}
int TArchiver::ExtractMem(HWND, const std::string&, const TArchiverOptions&, const std::string&, LPBYTE, DWORD, DWORD*)
{
    throw EArchiver(refusal::ExtractMem);
}
int TArchiver::CheckArchive(const std::string&, int, int)
{
    throw EArchiver(refusal::CheckArchive);
}

bool TArchiver::SetOwnerWindow(HWND window, void*)
{
    OwnerWindow = window;
    return false;
}

bool TArchiver::KillOwnerWindow(HWND)
{
    OwnerWindow = nullptr;
    return false;
}

void TArchiver::LoadPackDLL()
{
    LoadClassDLL();
}

void TArchiver::AddArchiveAndDir(TCmdOpt& cmd, const std::string& archiveFileName, const std::string& dir)
{
    cmd.AddStr("", archiveFileName);
    cmd.AddDir("", dir);
}

int TArchiver::AddFileList(TCmdOpt& cmd, const TArchiverOptions& options, bool useResFile, const FileList& files)
{
    int count;
    if (useResFile && !options.ResFileName.empty() && options.ResFileName != UnsetText)
        count = cmd.AddResFile(files, options.ResFileName);
    else
        count = cmd.AddFiles("", files);
    cmd.Add(options.UserFileList);
    return count;
}

void TArchiver::AddCommonTail(TCmdOpt& cmd, const TArchiverOptions& options, const std::string& archiveFileName,
                              const std::string& dir, bool useResFile, const FileList& files)
{
    cmd.Add(options.UserOptions);
    AddArchiveAndDir(cmd, archiveFileName, dir);
    AddFileList(cmd, options, useResFile, files);
}

}  // namespace archives
