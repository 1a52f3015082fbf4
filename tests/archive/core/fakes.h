// Points the library search at one scenario folder of the fake archiver
// libraries for the duration of a test.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "archive/wrappers/arj32.h"
#include "archive/wrappers/bga32.h"
#include "archive/wrappers/cab32.h"
#include "archive/wrappers/lha32.h"
#include "archive/wrappers/rar32.h"
#include "archive/wrappers/tar32.h"
#include "archive/wrappers/zip32.h"
#include "platform/platform.h"
#include "tests/archive/fakes/fake_archiver.h"

class FakeLibraries {
public:
    explicit FakeLibraries(const std::string& scenario) : m_previous(platform::overrides().librarySearchFolders)
    {
        platform::overrides().librarySearchFolders =
            std::vector<std::string>{std::string(FAKELIBS_DIR) + "/" + scenario};
        unloadAll();
        FakeArc_Reset();
    }
    ~FakeLibraries()
    {
        unloadAll();
        platform::overrides().librarySearchFolders = m_previous;
    }
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
    // Libraries loaded under another scenario must not answer in this one.
    static void unloadAll()
    {
        archives::TLha32::FreeDLL();
        archives::TZip32::FreeDLL();
        archives::TCab32::FreeDLL();
        archives::TArj32::FreeDLL();
        archives::TTar32::FreeDLL();
        archives::TRar32::FreeDLL();
        archives::TBGA32::FreeDLL();
    }

    std::optional<std::vector<std::string>> m_previous;
};
