// Counts export lookups: the test program is linked with
// --wrap=GetProcAddress, so every call from the wrapper units lands here.
#include <cstdint>

#include "platform/win32.h"

extern "C" FARPROC __real_GetProcAddress(HMODULE module, LPCSTR name);

namespace {
std::uint64_t lookups = 0;
}

extern "C" FARPROC __wrap_GetProcAddress(HMODULE module, LPCSTR name)
{
    ++lookups;
    return __real_GetProcAddress(module, name);
}

std::uint64_t EntryLookupCount()
{
    return lookups;
}
