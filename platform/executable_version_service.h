// Version data of a module file: the version resource that the build put
// into its ELF section (platform/version_resource.h), read at each request
// so an about box shows what the file on disk carries.
#pragma once

#include "platform/services.h"

namespace platform {

class ExecutableVersionInfoService : public VersionInfoService {
public:
    std::string versionBlock(const std::string& windowsPath) override;
};

}  // namespace platform
