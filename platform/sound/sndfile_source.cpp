#include "platform/sound/sndfile_source.h"

#include <sndfile.h>
#include <sys/stat.h>

namespace platform {
namespace {

// What the sound server accepts (PA_RATE_MAX, PA_CHANNELS_MAX).
constexpr int maxRate = 384000;
constexpr int maxChannels = 32;

}  // namespace

std::unique_ptr<SndfileSource> SndfileSource::open(const std::string& posixPath, Kind kind)
{
    // Only plain files: opening a pipe or a device could wait for ever on
    // the caller's thread.
    struct stat status;
    if (posixPath.empty() || ::stat(posixPath.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return nullptr;
    SF_INFO info{};
    SNDFILE* file = sf_open(posixPath.c_str(), SFM_READ, &info);
    if (!file)
        return nullptr;
    int major = info.format & SF_FORMAT_TYPEMASK;
    bool wave = major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX;
    if ((kind == Kind::Wave && !wave) || info.frames <= 0 || info.samplerate <= 0 || info.samplerate > maxRate
        || info.channels <= 0 || info.channels > maxChannels) {
        sf_close(file);
        return nullptr;
    }
    return std::unique_ptr<SndfileSource>(new SndfileSource(file, {info.samplerate, info.channels}));
}

SndfileSource::~SndfileSource()
{
    sf_close(m_file);
}

size_t SndfileSource::read(float* samples, size_t frames)
{
    sf_count_t n = sf_readf_float(m_file, samples, static_cast<sf_count_t>(frames));
    return n > 0 ? static_cast<size_t>(n) : 0;
}

bool SndfileSource::rewind()
{
    return sf_seek(m_file, 0, SEEK_SET) == 0;
}

}  // namespace platform
