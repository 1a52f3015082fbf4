#include "platform/sound/wave_file.h"

#include <dlfcn.h>

#include "platform/sound/ffmpeg_plugin.h"
#include "platform/sound/sndfile_source.h"
#include "platform/sound/wave_image.h"

namespace platform {
namespace {

struct LibraryCloser {
    void operator()(void* library) const { ::dlclose(library); }
};
using Library = std::unique_ptr<void, LibraryCloser>;

// The plugin lies beside this library. It stays loaded for the process:
// the sources it made run its code.
OpenFfmpegSource ffmpegEntry()
{
    static Library library;
    static OpenFfmpegSource entry = [] {
        Dl_info self{};
        if (::dladdr(reinterpret_cast<void*>(&openWithFfmpeg), &self) == 0 || !self.dli_fname)
            return OpenFfmpegSource(nullptr);
        std::string folder = self.dli_fname;
        folder.erase(folder.find_last_of('/') + 1);
        library.reset(::dlopen((folder + ffmpegPluginFile).c_str(), RTLD_NOW | RTLD_LOCAL));
        if (!library)
            return OpenFfmpegSource(nullptr);
        return reinterpret_cast<OpenFfmpegSource>(::dlsym(library.get(), ffmpegPluginEntry));
    }();
    return entry;
}

}  // namespace

std::unique_ptr<SoundSource> openWithFfmpeg(std::shared_ptr<const WaveImage> image)
{
    OpenFfmpegSource open = ffmpegEntry();
    std::unique_ptr<SoundSource> source;
    if (open)
        open(std::move(image), &source);
    return source;
}

std::unique_ptr<SoundSource> openWaveFile(const std::string& posixPath)
{
    if (auto source = SndfileSource::open(posixPath, SndfileSource::Kind::Wave))
        return source;
    std::shared_ptr<const WaveImage> image = WaveImage::open(posixPath);
    if (!image)
        return nullptr;
    if (auto source = SndfileSource::open(image))
        return source;
    return openWithFfmpeg(std::move(image));
}

}  // namespace platform
