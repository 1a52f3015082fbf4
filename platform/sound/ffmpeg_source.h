// A WAVE file's clean copy decoded by FFmpeg's WAVE reader and codecs:
// the format tags libsndfile has no decoder for (MPEG layer 2, G.723.1,
// G.726, Yamaha ADPCM, AC-3, WMA, ...).
#pragma once

#include <memory>
#include <vector>

#include "platform/sound/sound_source.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVIOContext;
struct AVPacket;
struct SwrContext;

namespace platform {

class WaveImage;

class FfmpegSource : public SoundSource {
public:
    // Null unless the copy decodes to at least one frame an output can take.
    static std::unique_ptr<FfmpegSource> open(std::shared_ptr<const WaveImage> image);
    ~FfmpegSource() override;
    FfmpegSource(const FfmpegSource&) = delete;
    FfmpegSource& operator=(const FfmpegSource&) = delete;

    AudioFormat format() const override { return m_format; }
    size_t read(float* samples, size_t frames) override;
    bool rewind() override;

private:
    explicit FfmpegSource(std::shared_ptr<const WaveImage> image) : m_image(std::move(image)) {}
    bool start();
    bool decodeMore();  // adds decoded frames to m_pending; false at the end
    static int readPacket(void* self, uint8_t* buffer, int size);
    static int64_t seek(void* self, int64_t offset, int whence);

    std::shared_ptr<const WaveImage> m_image;
    uint64_t m_at = 0;
    AVIOContext* m_io = nullptr;
    AVFormatContext* m_container = nullptr;
    AVCodecContext* m_codec = nullptr;
    SwrContext* m_resampler = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    int m_stream = -1;
    bool m_flushed = false;  // the decoder was told the packets ended
    bool m_ended = false;
    AudioFormat m_format;
    std::vector<float> m_pending;  // decoded, interleaved, not yet read
    size_t m_pendingAt = 0;
};

}  // namespace platform
