// Scripts and the call log shared by every fake archiver library of the
// process (see fake_archiver.h).
#include <map>
#include <string>

#include "tests/archive/fakes/fakearc_internal.h"

namespace {

struct State {
    std::map<std::string, std::map<std::string, std::string>> scripts;
    std::map<std::string, int> loads;
    std::string log;
    std::string snapshot;
};

State& state()
{
    static State s;
    return s;
}

}  // namespace

extern "C" {

FAKEARC_EXPORT void FakeArc_Reset()
{
    state().scripts.clear();
    state().log.clear();
}

FAKEARC_EXPORT void FakeArc_Script(const char* library, const char* key, const char* value)
{
    state().scripts[library][key] = value;
}

FAKEARC_EXPORT const char* FakeArc_Log()
{
    state().snapshot = state().log;
    return state().snapshot.c_str();
}

FAKEARC_EXPORT int FakeArc_Loads(const char* library)
{
    return state().loads[library];
}

FAKEARC_EXPORT const char* FakeArc_Get(const char* library, const char* key, const char* fallback)
{
    auto& scripts = state().scripts;
    auto lib = scripts.find(library);
    if (lib == scripts.end())
        return fallback;
    auto it = lib->second.find(key);
    return it == lib->second.end() ? fallback : it->second.c_str();
}

FAKEARC_EXPORT void FakeArc_Append(const char* line)
{
    state().log += line;
    state().log += '\n';
}

FAKEARC_EXPORT void FakeArc_NoteLoad(const char* library)
{
    ++state().loads[library];
}
}
