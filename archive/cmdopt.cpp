#include "archive/cmdopt.h"

#include "archive/archiveroptions.h"
#include "archive/filehandle.h"
#include "platform/platform.h"
#include "platform/win32.h"

namespace archives {
namespace {

// The last whole character is a backslash; a double-byte character whose
// trailing byte has the code of "\" does not count.
bool endsWithBackslash(const std::string& s)
{
    if (s.empty())
        return false;
    const char* begin = s.c_str();
    const char* last = CharPrevA(begin, begin + s.size());
    return last == begin + s.size() - 1 && *last == '\\';
}

}  // namespace

void TCmdOpt::Add(const std::string& token)
{
    Text += ' ';
    Text += token;
}

void TCmdOpt::AddStr(const std::string& name, const std::string& value)
{
    if (value == UnsetText)
        return;
    if (name.empty()) {
        Add('"' + value + '"');
        return;
    }
    const std::string sw = name[0] == ' ' ? name.substr(1) : '-' + name;
    if (SpaceBeforeValue)
        Add(sw + " \"" + value + '"');
    else
        Add('"' + sw + value + '"');
}

void TCmdOpt::AddNum(const std::string& name, std::int32_t value)
{
    if (value != -1)
        Add('-' + name + std::to_string(value));
}

void TCmdOpt::AddBool(const std::string& name, bool flag)
{
    if (flag)
        Add('-' + name);
}

void TCmdOpt::AddDir(const std::string& name, const std::string& folder)
{
    if (folder.empty() || folder == UnsetText)
        return;
    AddStr(name, endsWithBackslash(folder) ? folder : folder + '\\');
}

void TCmdOpt::AddFileName(const std::string& name, const std::string& fileName)
{
    AddStr(name, ConvertName(fileName));
}

int TCmdOpt::AddFiles(const std::string& name, const FileList& list)
{
    const TStringList names = FileListToStrings(list);
    for (const std::string& n : names)
        AddFileName(name, n);
    return int(names.size());
}

std::string TCmdOpt::ConvertName(const std::string& fileName) const
{
    return NameConverter ? NameConverter(fileName) : fileName;
}

int TCmdOpt::AddResFile(const FileList& list, const std::string& path)
{
    const TStringList names = FileListToStrings(list);
    std::string content;
    for (const std::string& n : names)
        content += '"' + ConvertName(n) + "\"\r\n";

    {
        FileHandle file(
            CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid())
            throw EFileError("ファイル " + path + " を作成できません。" + platform::systemErrorMessage(GetLastError()));
        DWORD written = 0;
        if (!WriteFile(file.get(), content.data(), DWORD(content.size()), &written, nullptr) ||
            written != content.size())
            throw EFileError("ファイル " + path + " に書き込めません。" + platform::systemErrorMessage(GetLastError()));
    }
    AddStr("", '@' + path);
    return int(names.size());
}

}  // namespace archives
