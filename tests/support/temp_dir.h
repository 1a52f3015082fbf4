// A temporary folder for one test, removed with everything in it afterwards,
// and a guard that points the platform's per-user files (registry, temporary
// folder) into it so that tests never touch the real user's files.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

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
    // A file's path as the system code spells it, with a drive letter.
    std::string windows(const std::string& name) const { return platform::toWindowsPath(file(name)); }
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

// A chain of folders below base whose full path is longer than the system's
// PATH_MAX, entered with relative steps; the process's current directory is
// the deepest one while the object lives. Removed step by step afterwards,
// as no single path reaches the bottom.
class DeepFolder {
public:
    explicit DeepFolder(const std::string& base) : m_base(base)
    {
        if (::chdir(base.c_str()) != 0)
            throw std::runtime_error("cannot enter " + base);
        for (size_t length = base.size(); length <= 4200; length += m_step.size() + 1, ++m_depth) {
            if (::mkdir(m_step.c_str(), 0700) != 0 || ::chdir(m_step.c_str()) != 0)
                throw std::runtime_error("cannot build a deep folder");
        }
    }
    ~DeepFolder()
    {
        for (; m_depth > 0; --m_depth) {
            if (::chdir("..") != 0)
                return;
            ::rmdir(m_step.c_str());
        }
    }
    DeepFolder(const DeepFolder&) = delete;
    DeepFolder& operator=(const DeepFolder&) = delete;

private:
    std::string m_base;
    std::string m_step = std::string(200, 'd');
    int m_depth = 0;
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
