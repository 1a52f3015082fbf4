#include "platform/sound/default_sound.h"

#include <cstdlib>

#include "platform/sound/beep_source.h"
#include "platform/sound/sndfile_source.h"

namespace platform {
namespace {

void appendList(std::vector<std::string>& out, const char* list)
{
    std::string text(list);
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find(':', at);
        if (end == std::string::npos)
            end = text.size();
        // Relative entries are invalid in these lists and are ignored.
        if (end > at && text[at] == '/')
            out.push_back(text.substr(at, end - at));
        at = end + 1;
    }
}

}  // namespace

std::vector<std::string> soundThemeFolders()
{
    std::vector<std::string> folders;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (dataHome && *dataHome == '/')
        folders.push_back(dataHome);
    else if (home && *home == '/')
        folders.push_back(std::string(home) + "/.local/share");
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    appendList(folders, dataDirs && *dataDirs ? dataDirs : "/usr/local/share:/usr/share");
    return folders;
}

std::unique_ptr<SoundSource> openDefaultSound(const std::vector<std::string>& folders)
{
    for (const auto& folder : folders) {
        for (const char* extension : {".oga", ".ogg", ".wav"}) {
            auto source = SndfileSource::open(folder + "/sounds/freedesktop/stereo/dialog-warning" + extension,
                                              SndfileSource::Kind::Any);
            if (source)
                return source;
        }
    }
    return std::make_unique<BeepSource>();
}

}  // namespace platform
