// A private world for one test of the main program or the migrator: the
// platform's per-user files in a temporary folder, the program's folder
// there too (so the settings file lands beside it), an empty library folder
// and a recording message box. Everything is put back afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/fake_services.h"
#include "tests/support/temp_dir.h"

namespace testing_support {

class Sandbox {
public:
    Sandbox()
    {
        std::filesystem::create_directories(programFolder());
        std::filesystem::create_directories(libraryFolder());
        // Restored with the rest of the overrides by m_files.
        platform::overrides().executablePath = programFolder() + "/TIDEBELL";
        platform::overrides().librarySearchFolders = std::vector<std::string>{libraryFolder()};
    }

    const std::string& root() const { return m_dir.path(); }
    std::string programFolder() const { return m_dir.file("program"); }
    std::string libraryFolder() const { return m_dir.file("libraries"); }
    std::string iniFile() const { return programFolder() + "/TIDEBELL.INI"; }

    static void writeFile(const std::string& path, const std::string& content)
    {
        std::ofstream(path, std::ios::binary) << content;
    }
    static std::string readFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        return content.str();
    }
    static bool exists(const std::string& path) { return std::filesystem::exists(path); }

private:
    tidebell_test::TempDir m_dir;
    tidebell_test::ScopedPlatformFiles m_files{m_dir};

public:
    tidebell_test::ScopedService<tidebell_test::FakeMessageBoxService> boxes{
        std::make_shared<tidebell_test::FakeMessageBoxService>()};
};

}  // namespace testing_support
