// Shared set-up of the wrapper tests: a scenario folder of fake libraries,
// a fresh call log, and a temporary folder that is also the current folder
// (where the self-extractor stubs are looked for).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "archive/archiver.h"
#include "archive/wrappers/arj32.h"
#include "archive/wrappers/bga32.h"
#include "archive/wrappers/cab32.h"
#include "archive/wrappers/lha32.h"
#include "archive/wrappers/rar32.h"
#include "archive/wrappers/tar32.h"
#include "archive/wrappers/zip32.h"
#include "platform/platform.h"
#include "tests/archive/fakes/fake_archiver.h"
#include "tests/support/temp_dir.h"

// Export lookups made in this process (entry_lookups.cpp counts the calls
// of GetProcAddress, which the link routes through it): shows that entries
// are bound once and shared.
std::uint64_t EntryLookupCount();

class WrapperTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // ctest runs each test in a process of its own. Unloading here keeps
        // tests apart when the program runs them all in one process, except
        // for missing-library tests: an unloaded library may stay resident
        // and be found again by name.
        archives::TLha32::FreeDLL();
        archives::TArj32::FreeDLL();
        archives::TZip32::FreeDLL();
        archives::TCab32::FreeDLL();
        archives::TTar32::FreeDLL();
        archives::TRar32::FreeDLL();
        archives::TBGA32::FreeDLL();
        FakeArc_Reset();
        useScenario("all");
        m_dir.emplace();
        m_temp = m_dir->path();
        m_previousDir = std::filesystem::current_path();
        std::filesystem::current_path(m_temp);
        platform::overrides().tempFolder = m_temp.string();
    }
    void TearDown() override
    {
        std::filesystem::current_path(m_previousDir);
        m_dir.reset();
        platform::overrides().librarySearchFolders.reset();
        platform::overrides().tempFolder.reset();
    }

    static void useScenario(const std::string& scenario)
    {
        platform::overrides().librarySearchFolders =
            std::vector<std::string>{std::string(FAKELIBS_DIR) + "/" + scenario};
    }
    static std::string libraryPath(const std::string& scenario, const std::string& file)
    {
        return platform::toWindowsPath(std::string(FAKELIBS_DIR) + "/" + scenario + "/" + file);
    }

    // Windows-style path of a file in the temporary folder.
    std::string winPath(const std::string& name) const { return platform::toWindowsPath((m_temp / name).string()); }
    void writeFile(const std::string& name, const std::string& content) const
    {
        std::ofstream(m_temp / name, std::ios::binary) << content;
    }
    std::string readFile(const std::string& name) const
    {
        std::ifstream in(m_temp / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(m_temp / name); }

    // Runs f and returns the EArchiver message it throws ("" when none).
    template <class F> static std::string messageOf(F&& f)
    {
        try {
            f();
        } catch (const archives::EArchiver& e) {
            return e.what();
        }
        return "";
    }

    std::optional<tidebell_test::TempDir> m_dir;
    std::filesystem::path m_temp;
    std::filesystem::path m_previousDir;
    std::string m_output;  // no output buffer
};

inline const HWND kWindow = reinterpret_cast<HWND>(0x5150);
