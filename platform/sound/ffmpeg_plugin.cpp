// The entry the sound player looks up after loading this library for a
// WAVE file that libsndfile refused.
#include "platform/sound/ffmpeg_plugin.h"

#include "platform/sound/ffmpeg_source.h"

extern "C" __attribute__((visibility("default"))) void
tidebellOpenFfmpegSource(std::shared_ptr<const platform::WaveImage> image,
                         std::unique_ptr<platform::SoundSource>* source)
{
    *source = platform::FfmpegSource::open(std::move(image));
}
