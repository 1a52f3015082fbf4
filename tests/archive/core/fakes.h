// Points the library search at one scenario folder of the fake archiver
// libraries for the duration of a test.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/archive/fakes/fake_archiver.h"

class FakeLibraries {
public:
    explicit FakeLibraries(const std::string& scenario)
        : m_previous(platform::overrides().librarySearchFolders)
    {
        platform::overrides().librarySearchFolders =
            std::vector<std::string>{std::string(FAKELIBS_DIR) + "/" + scenario};
        FakeArc_Reset();
    }
    ~FakeLibraries() { platform::overrides().librarySearchFolders = m_previous; }
    FakeLibraries(const FakeLibraries&) = delete;
    FakeLibraries& operator=(const FakeLibraries&) = delete;

    // The library answers "no" to every probe for the file. For "unzip32"
    // the other two ZIP libraries refuse as well.
    static void reject(const std::string& library)
    {
        if (library == "unzip32") {
            reject("zip32j");
            reject("lmzip32");
        }
        fakearc::script(library, "check", "0");
        fakearc::script(library, "open", "0");
    }

private:
    std::optional<std::vector<std::string>> m_previous;
};
