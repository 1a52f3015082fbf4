// A private world for one test: a temporary folder that holds the program's
// folder (so the settings file lands there), the registry file and an empty
// library folder, plus a message box double. Everything is put back when the
// sandbox goes.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/services.h"

namespace testing_support {

struct ShownBox {
    std::string text;
    std::string caption;
    UINT type = 0;
};

// Records every box and answers Yes/No questions with `yesNoAnswer`.
class RecordingMessageBox : public platform::MessageBoxService {
public:
    int show(HWND, const std::string& text, const std::string& caption, UINT type) override
    {
        shown.push_back({text, caption, type});
        return (type & 0x0F) == MB_YESNO ? yesNoAnswer : IDOK;
    }
    std::vector<ShownBox> shown;
    int yesNoAnswer = IDYES;
};

class Sandbox {
public:
    Sandbox()
    {
        namespace fs = std::filesystem;
        char pattern[] = "/tmp/tidebell-test-XXXXXX";
        m_root = ::mkdtemp(pattern);
        fs::create_directories(programFolder());
        fs::create_directories(libraryFolder());
        m_saved = platform::overrides();
        platform::overrides().executablePath = programFolder() + "/TIDEBELL";
        platform::overrides().registryFile = m_root + "/registry.reg";
        platform::overrides().librarySearchFolders = std::vector<std::string>{libraryFolder()};
        platform::overrides().tempFolder = m_root + "/temp";
        m_savedBoxes = platform::setMessageBoxService(boxes);
    }
    ~Sandbox()
    {
        platform::setMessageBoxService(m_savedBoxes);
        platform::overrides() = m_saved;
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    const std::string& root() const { return m_root; }
    std::string programFolder() const { return m_root + "/program"; }
    std::string libraryFolder() const { return m_root + "/libraries"; }
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

    std::shared_ptr<RecordingMessageBox> boxes = std::make_shared<RecordingMessageBox>();

private:
    std::string m_root;
    platform::Overrides m_saved;
    std::shared_ptr<platform::MessageBoxService> m_savedBoxes;
};

}  // namespace testing_support
