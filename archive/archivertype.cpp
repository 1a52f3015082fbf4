#include "archive/archivertype.h"

#include "archive/wrappers/arj32.h"
#include "archive/wrappers/bga32.h"
#include "archive/wrappers/cab32.h"
#include "archive/wrappers/lha32.h"
#include "archive/wrappers/rar32.h"
#include "archive/wrappers/tar32.h"
#include "archive/wrappers/zip32.h"

namespace archives {
namespace {

struct ExtensionRow {
    const char* ext;
    TArchiverType type;
};

// Tested in this order.
const ExtensionRow kExtensions[] = {
    {".z", atTgz},    {".gz", atTgz},   {".tgz", atTgz},  {".taz", atTgz},  {".a", atTar},
    {".lib", atTar},  {".tar", atTar},  {".deb", atTar},  {".rpm", atTar},  {".cpio", atTar},
    {".bz2", atBZ2},  {".gza", atBga},  {".bza", atBga},  {".gca", atGCA},  {".rar", atRar},
    {".arj", atArj},  {".zip", atZip},  {".cab", atCab},  {".lzh", atLha},
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

// A probe that fails in any way is a "no".
template <class Probe>
bool accepts(Probe probe, const std::string& fileName)
{
    try {
        return probe(fileName);
    } catch (...) {
        return false;
    }
}

TArchiverType detectByContents(const std::string& fileName)
{
    TArchiverType result = atNone;
    try {
        result = GetTarArchiveKind(fileName);
    } catch (...) {
        result = atNone;
    }
    // Every probe runs; a later "yes" overrides, so LHA has the last word.
    if (accepts(CheckRarArchive, fileName))
        result = atRar;
    if (accepts(CheckArjArchive, fileName))
        result = atArj;
    if (accepts(CheckZipArchive, fileName))
        result = atZip;
    if (accepts(CheckBgaArchive, fileName))
        result = atBga;
    if (accepts(CheckCabArchive, fileName))
        result = atCab;
    if (accepts(CheckLhaArchive, fileName))
        result = atLha;
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
