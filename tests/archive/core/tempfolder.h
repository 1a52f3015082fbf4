// A temporary folder for one test, removed afterwards, and its Windows-style
// name as the system code sees it.
#pragma once

#include <filesystem>
#include <string>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& posix() const { return m_path; }
    // Windows-style path of a file inside the folder.
    std::string windows(const std::string& name) const;
    std::string read(const std::string& name) const;
    void write(const std::string& name, const std::string& content) const;

private:
    std::filesystem::path m_path;
};
