#include "platform/sound/sndfile_source.h"

#include <sndfile.h>
#include <sys/stat.h>

#include "platform/sound/wave_image.h"

namespace platform {
namespace {

bool playable(const SF_INFO& info, SndfileSource::Kind kind)
{
    int major = info.format & SF_FORMAT_TYPEMASK;
    bool wave = major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX || major == SF_FORMAT_RF64;
    return (kind == SndfileSource::Kind::Any || wave) && info.frames > 0 && info.samplerate > 0 &&
           info.samplerate <= maxRate && info.channels > 0 && info.channels <= maxChannels;
}

}  // namespace

struct SndfileSource::ImageReader {
    std::shared_ptr<const WaveImage> image;
    sf_count_t at = 0;

    static ImageReader& of(void* user) { return *static_cast<ImageReader*>(user); }
    static sf_count_t length(void* user) { return static_cast<sf_count_t>(of(user).image->size()); }
    static sf_count_t seek(sf_count_t offset, int whence, void* user)
    {
        ImageReader& r = of(user);
        sf_count_t base = whence == SEEK_CUR ? r.at : whence == SEEK_END ? length(user) : 0;
        if (base + offset < 0)
            return -1;
        r.at = base + offset;
        return r.at;
    }
    static sf_count_t read(void* out, sf_count_t bytes, void* user)
    {
        ImageReader& r = of(user);
        if (bytes <= 0)
            return 0;
        size_t n = r.image->read(static_cast<uint64_t>(r.at), out, static_cast<size_t>(bytes));
        r.at += static_cast<sf_count_t>(n);
        return static_cast<sf_count_t>(n);
    }
    static sf_count_t write(const void*, sf_count_t, void*) { return 0; }
    static sf_count_t tell(void* user) { return of(user).at; }
};

SndfileSource::SndfileSource(SNDFILE* file, AudioFormat format, std::unique_ptr<ImageReader> reader)
    : m_reader(std::move(reader)), m_file(file), m_format(format)
{
}

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
    if (!playable(info, kind)) {
        sf_close(file);
        return nullptr;
    }
    return std::unique_ptr<SndfileSource>(new SndfileSource(file, {info.samplerate, info.channels}, nullptr));
}

std::unique_ptr<SndfileSource> SndfileSource::open(std::shared_ptr<const WaveImage> image)
{
    static SF_VIRTUAL_IO io{&ImageReader::length, &ImageReader::seek, &ImageReader::read, &ImageReader::write,
                            &ImageReader::tell};
    auto reader = std::make_unique<ImageReader>();
    reader->image = std::move(image);
    SF_INFO info{};
    SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, reader.get());
    if (!file)
        return nullptr;
    if (!playable(info, Kind::Wave)) {
        sf_close(file);
        return nullptr;
    }
    return std::unique_ptr<SndfileSource>(new SndfileSource(file, {info.samplerate, info.channels}, std::move(reader)));
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
