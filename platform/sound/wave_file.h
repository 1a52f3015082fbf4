// Opens a WAVE file for playing as the Windows sound functions do: any RIFF
// or RF64 WAVE file whose format a decoder here handles. libsndfile opens
// the ordinary ones; what it refuses is read again through the file's
// format and data chunks alone, by libsndfile and then by FFmpeg, whose
// libraries are loaded only then.
#pragma once

#include <memory>
#include <string>

#include "platform/sound/sound_source.h"

namespace platform {

class WaveImage;

std::unique_ptr<SoundSource> openWaveFile(const std::string& posixPath);

// FFmpeg's decoding of a clean WAVE copy; null when its plugin or FFmpeg
// cannot be loaded or does not decode the file.
std::unique_ptr<SoundSource> openWithFfmpeg(std::shared_ptr<const WaveImage> image);

}  // namespace platform
