#include "archive/joinpath.h"

namespace archives {

std::string JoinPath(const std::string& folder, const std::string& fileName)
{
    return JoinPath(folder, fileName, CP_ACP);
}

std::string JoinPath(const std::string& folder, const std::string& fileName, UINT codePage)
{
    if (folder.empty())
        return fileName;
    const char* start = folder.c_str();
    const char* last = CharPrevExA(static_cast<WORD>(codePage), start, start + folder.size(), 0);
    // The last character counts as a separator only when it is the single
    // byte "\", not the trail byte of a double-byte character.
    bool endsWithSeparator = (start + folder.size() - last) == 1 && *last == '\\';
    return endsWithSeparator ? folder + fileName : folder + "\\" + fileName;
}

}  // namespace archives
