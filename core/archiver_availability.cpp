#include "core/archiver_availability.h"

#include "platform/win32.h"

namespace tidebell {

const std::array<const char*, 6>& ArchiverAvailability::libraryNames()
{
    static const std::array<const char*, 6> names = {
        "UNLHA32.DLL", "UNZIP32.DLL", "UNARJ32J.DLL", "UNRAR32.DLL", "CAB32.DLL", "TAR32.DLL",
    };
    return names;
}

ArchiverAvailability ArchiverAvailability::probe()
{
    ArchiverAvailability result;
    bool* const flags[] = {&result.HasUnlha32, &result.HasUnzip32, &result.HasUnarj32j,
                           &result.HasUnrar32, &result.HasCab32,   &result.HasTar32};
    const auto& names = libraryNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        const HMODULE module = LoadLibraryA(names[i]);
        *flags[i] = module != nullptr;
        if (module != nullptr) {
            FreeLibrary(module);
        }
    }
    return result;
}

}  // namespace tidebell
