#include "archive/archivertype.h"

#include "archive/archiverregistry.h"

namespace archives {
namespace {

struct ExtensionRow {
    const char* ext;
    TArchiverType type;
};

// Tested in this order.
const ExtensionRow kExtensions[] = {
    {".z", atTgz},   {".gz", atTgz},  {".tgz", atTgz}, {".taz", atTgz}, {".a", atTar},
    {".lib", atTar}, {".tar", atTar}, {".deb", atTar}, {".rpm", atTar}, {".cpio", atTar},
    {".bz2", atBZ2}, {".gza", atBga}, {".bza", atBga}, {".gca", atGCA}, {".rar", atRar},
    {".arj", atArj}, {".zip", atZip}, {".cab", atCab}, {".lzh", atLha},
};

char asciiLower(char ch)
{
    return (ch >= 'A' && ch <= 'Z') ? char(ch - 'A' + 'a') : ch;
}

// Only ASCII letters fold; every other byte compares as it is.
bool sameTextAscii(const std::string& a, const char* b)
{
    std::size_t k = 0;
    for (; k < a.size() && b[k]; ++k)
        if (asciiLower(a[k]) != asciiLower(b[k]))
            return false;
    return k == a.size() && b[k] == 0;
}

// The content probes in the order they run: tar first, whose library also
// tells the compressed kinds apart; then each other library, a later "yes"
// overriding, so LHA has the last word.
const TArchiverType kProbeOrder[] = {atTar, atRar, atArj, atZip, atBga, atCab, atLha};

TArchiverType detectByContents(const std::string& fileName)
{
    TArchiverType result = atNone;
    for (TArchiverType type : kProbeOrder) {
        const ArchiverRegistration* wrapper = RegisteredArchiver(type);
        if (!wrapper || !wrapper->probe)
            continue;
        TArchiverType found = atNone;
        try {
            found = wrapper->probe(fileName);
        } catch (...) {
            found = atNone;  // a probe that fails in any way is a "no"
        }
        if (found != atNone)
            result = found;
    }
    return result;
}

}  // namespace

std::string ExtractFileExt(const std::string& fileName)
{
    const std::size_t pos = fileName.find_last_of(".\\:");
    if (pos == std::string::npos || fileName[pos] != '.')
        return {};
    return fileName.substr(pos);
}

TArchiverType DetectArchiverType(const std::string& fileName, bool byExtension)
{
    if (!byExtension)
        return detectByContents(fileName);

    const std::string ext = ExtractFileExt(fileName);
    TArchiverType result = atNone;
    for (const ExtensionRow& row : kExtensions)
        if (sameTextAscii(ext, row.ext))
            result = row.type;
    if (sameTextAscii(ext, ".exe"))
        result = detectByContents(fileName);
    return result;
}

}  // namespace archives
