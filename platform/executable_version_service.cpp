#include "platform/executable_version_service.h"

#include "platform/platform.h"
#include "platform/version_resource.h"

namespace platform {

std::string ExecutableVersionInfoService::versionBlock(const std::string& windowsPath)
{
    const std::string posixPath = toPosixPath(windowsPath);
    return posixPath.empty() ? std::string() : readVersionSection(posixPath);
}

}  // namespace platform
