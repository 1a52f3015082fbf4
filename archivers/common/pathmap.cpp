#include "archivers/common/pathmap.h"

#include <atomic>

#include "platform/platform.h"

namespace arc {

namespace {
std::atomic<PathMapper> g_mapper{nullptr};
}

std::string toPosix(std::string_view windowsPath)
{
    if (PathMapper m = g_mapper.load())
        return m(windowsPath);
    return platform::toPosixPath(windowsPath);
}

PathMapper setPathMapper(PathMapper mapper)
{
    return g_mapper.exchange(mapper);
}

}  // namespace arc
