// A temporary folder for one test, removed with everything in it afterwards,
// and a guard that points the platform's per-user files (registry, temporary
// folder) into it so that tests never touch the real user's files.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/platform.h"

namespace tidebell_test {

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tidebell-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a temporary folder");
        m_path = pattern;
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }
    // Writes a file below the folder (creating folders) and answers its path.
    std::string write(const std::string& name, const std::string& contents) const
    {
        std::filesystem::path p = file(name);
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << contents;
        return p.string();
    }
    std::string read(const std::string& name) const
    {
        std::ifstream in(file(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::string m_path;
};

// Points the registry file and the temporary folder at a TempDir for the
// lifetime of the guard.
class ScopedPlatformFiles {
public:
    explicit ScopedPlatformFiles(const TempDir& dir) : m_saved(platform::overrides())
    {
        platform::overrides().registryFile = dir.file("config/tidebell/registry.reg");
        platform::overrides().tempFolder = dir.path();
    }
    ~ScopedPlatformFiles() { platform::overrides() = m_saved; }
    ScopedPlatformFiles(const ScopedPlatformFiles&) = delete;
    ScopedPlatformFiles& operator=(const ScopedPlatformFiles&) = delete;

private:
    platform::Overrides m_saved;
};

}  // namespace tidebell_test
