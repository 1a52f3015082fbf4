#include "archive/wrappers/wrapperutil.h"

#include <vector>

#include "archive/archiver.h"
#include "archive/cmdopt.h"
#include "archive/filehandle.h"
#include "archive/joinpath.h"
#include "platform/platform.h"

namespace archives {

namespace {

// Index just past the last "\" or ":" (0 when there is none).
std::string::size_type NameStart(const std::string& fileName)
{
    auto sep = fileName.find_last_of("\\:");
    return sep == std::string::npos ? 0 : sep + 1;
}

[[noreturn]] void ThrowFileError(const char* what, const std::string& path)
{
    throw EFileError("ファイル " + path + what + platform::systemErrorMessage(GetLastError()));
}

// The whole file, opened for reading with writes by others denied.
std::string ReadWholeFile(const std::string& path)
{
    FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        ThrowFileError(" を開けません。", path);
    std::string content;
    char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr))
            ThrowFileError(" を読み込めません。", path);
        if (got == 0)
            break;
        content.append(chunk, got);
    }
    return content;
}

}  // namespace

std::string ExpandFileName(const std::string& fileName)
{
    std::vector<char> buffer(MAX_PATH + 1);
    for (;;) {
        DWORD n = GetFullPathNameA(fileName.c_str(), DWORD(buffer.size()), buffer.data(), nullptr);
        if (n == 0)
            return fileName;
        if (n < buffer.size())
            return std::string(buffer.data(), n);
        buffer.resize(n + 1);
    }
}

bool FileExists(const std::string& fileName)
{
    DWORD attributes = GetFileAttributesA(fileName.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ChangeFileExt(const std::string& fileName, const std::string& ext)
{
    auto dot = fileName.rfind('.');
    if (dot == std::string::npos || dot < NameStart(fileName))
        return fileName + ext;
    return fileName.substr(0, dot) + ext;
}

std::string ExtractFileName(const std::string& fileName)
{
    return fileName.substr(NameStart(fileName));
}

int RunCommandEntry(CommandEntry entry, HWND window, const std::string& commandLine, std::string& output)
{
    LPSTR buffer = output.empty() ? nullptr : output.data();
    return entry(window, commandLine.c_str(), buffer, DWORD(output.size()));
}

std::string WriteSelfExtractor(const char* stubName, const char* missingStubMessage, const std::string& archiveFileName,
                               const std::string& dir)
{
    char found[512] = {};
    DWORD n = SearchPathA(nullptr, stubName, nullptr, sizeof found, found, nullptr);
    if (n == 0 || n >= sizeof found)
        throw EArchiver(missingStubMessage);
    const std::string stubPath(found);

    std::string outName = ChangeFileExt(archiveFileName, ".EXE");
    if (!dir.empty())
        outName = JoinPath(dir, ExtractFileName(outName));

    // An archive already named .EXE would be truncated before it is read:
    // refuse rather than destroy it.
    if (lstrcmpiA(ExpandFileName(outName).c_str(), ExpandFileName(archiveFileName).c_str()) == 0)
        throw EArchiver("自己解凍書庫 " + outName + " は元の書庫と同じファイルになるため作成できません。");

    // Both inputs are read before the output is created, so a missing input
    // leaves an existing output untouched.
    const std::string stub = ReadWholeFile(stubPath);
    const std::string archive = ReadWholeFile(archiveFileName);

    FileHandle out(
        CreateFileA(outName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid())
        ThrowFileError(" を作成できません。", outName);
    for (const std::string* part : {&stub, &archive}) {
        DWORD written = 0;
        if (!WriteFile(out.get(), part->data(), DWORD(part->size()), &written, nullptr) || written != part->size())
            ThrowFileError(" に書き込めません。", outName);
    }
    return outName;
}

}  // namespace archives
