// The entry of libtidebell-sound-ffmpeg.so, the FFmpeg decoder the sound
// player loads for the WAVE files libsndfile refuses.
#pragma once

#include <memory>

namespace platform {

class SoundSource;
class WaveImage;

using OpenFfmpegSource = void (*)(std::shared_ptr<const WaveImage> image, std::unique_ptr<SoundSource>* source);
inline constexpr const char* ffmpegPluginFile = "libtidebell-sound-ffmpeg.so";
inline constexpr const char* ffmpegPluginEntry = "tidebellOpenFfmpegSource";

}  // namespace platform
