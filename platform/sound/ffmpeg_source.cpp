#include "platform/sound/ffmpeg_source.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
}

#include "platform/sound/wave_image.h"

namespace platform {
namespace {

constexpr int ioBufferSize = 32768;

}  // namespace

std::unique_ptr<FfmpegSource> FfmpegSource::open(std::shared_ptr<const WaveImage> image)
{
    // A damaged file is answered by the default sound, not by lines on the terminal.
    av_log_set_level(AV_LOG_QUIET);
    std::unique_ptr<FfmpegSource> source(new FfmpegSource(std::move(image)));
    if (!source->start())
        return nullptr;
    // A file whose data decodes to nothing is one that cannot be played.
    while (source->m_pending.empty())
        if (!source->decodeMore())
            return nullptr;
    return source;
}

FfmpegSource::~FfmpegSource()
{
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    swr_free(&m_resampler);
    avcodec_free_context(&m_codec);
    avformat_close_input(&m_container);
    if (m_io) {
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
}

int FfmpegSource::readPacket(void* self, uint8_t* buffer, int size)
{
    auto* s = static_cast<FfmpegSource*>(self);
    size_t n = s->m_image->read(s->m_at, buffer, static_cast<size_t>(size));
    s->m_at += n;
    return n == 0 ? AVERROR_EOF : static_cast<int>(n);
}

int64_t FfmpegSource::seek(void* self, int64_t offset, int whence)
{
    auto* s = static_cast<FfmpegSource*>(self);
    const auto size = static_cast<int64_t>(s->m_image->size());
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE)
        return size;
    int64_t base = whence == SEEK_CUR ? static_cast<int64_t>(s->m_at) : whence == SEEK_END ? size : 0;
    if (base + offset < 0)
        return -1;
    s->m_at = static_cast<uint64_t>(base + offset);
    return base + offset;
}

bool FfmpegSource::start()
{
    auto* buffer = static_cast<unsigned char*>(av_malloc(ioBufferSize));
    if (!buffer)
        return false;
    m_io = avio_alloc_context(buffer, ioBufferSize, 0, this, &FfmpegSource::readPacket, nullptr, &FfmpegSource::seek);
    if (!m_io) {
        av_free(buffer);
        return false;
    }
    m_container = avformat_alloc_context();
    if (!m_container)
        return false;
    m_container->pb = m_io;
    m_container->flags |= AVFMT_FLAG_CUSTOM_IO;
    // Only the WAVE reader: FFmpeg is never asked to guess the container.
    const AVInputFormat* wave = av_find_input_format("wav");
    if (!wave || avformat_open_input(&m_container, nullptr, wave, nullptr) < 0)
        return false;  // the context was freed
    if (avformat_find_stream_info(m_container, nullptr) < 0)
        return false;
    m_stream = av_find_best_stream(m_container, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (m_stream < 0)
        return false;
    const AVCodecParameters* parameters = m_container->streams[m_stream]->codecpar;
    const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
    if (!decoder || !(m_codec = avcodec_alloc_context3(decoder)) ||
        avcodec_parameters_to_context(m_codec, parameters) < 0 || avcodec_open2(m_codec, decoder, nullptr) < 0)
        return false;
    const int rate = m_codec->sample_rate, channels = m_codec->ch_layout.nb_channels;
    if (rate <= 0 || rate > maxRate || channels <= 0 || channels > maxChannels)
        return false;
    m_format = {rate, channels};
    // The player takes the channels in the file's order, as floats.
    AVChannelLayout layout;
    av_channel_layout_default(&layout, channels);
    AVChannelLayout in;
    if (m_codec->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&in, channels);
    else
        av_channel_layout_copy(&in, &m_codec->ch_layout);
    int failed =
        swr_alloc_set_opts2(&m_resampler, &layout, AV_SAMPLE_FMT_FLT, rate, &in, m_codec->sample_fmt, rate, 0, nullptr);
    av_channel_layout_uninit(&in);
    av_channel_layout_uninit(&layout);
    if (failed < 0 || swr_init(m_resampler) < 0)
        return false;
    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    return m_packet && m_frame;
}

bool FfmpegSource::decodeMore()
{
    while (!m_ended) {
        int got = avcodec_receive_frame(m_codec, m_frame);
        if (got == 0) {
            if (m_frame->sample_rate != m_format.rate || m_frame->ch_layout.nb_channels != m_format.channels ||
                m_frame->format != m_codec->sample_fmt) {
                av_frame_unref(m_frame);  // a stream that changes its shape midway: drop those frames
                continue;
            }
            const size_t room = static_cast<size_t>(swr_get_out_samples(m_resampler, m_frame->nb_samples));
            const size_t channels = static_cast<size_t>(m_format.channels);
            const size_t at = m_pending.size();
            m_pending.resize(at + room * channels);
            auto* out = reinterpret_cast<uint8_t*>(m_pending.data() + at);
            int n = swr_convert(m_resampler, &out, static_cast<int>(room),
                                const_cast<const uint8_t**>(m_frame->extended_data), m_frame->nb_samples);
            av_frame_unref(m_frame);
            m_pending.resize(at + static_cast<size_t>(std::max(n, 0)) * channels);
            if (n > 0)
                return true;
            continue;
        }
        if (got == AVERROR_EOF) {
            m_ended = true;
            break;
        }
        if (got != AVERROR(EAGAIN))
            return false;
        if (m_flushed) {
            m_ended = true;
            break;
        }
        // The decoder wants more: the next packet of our stream, or the end.
        int read;
        while ((read = av_read_frame(m_container, m_packet)) == 0 && m_packet->stream_index != m_stream)
            av_packet_unref(m_packet);
        if (read < 0) {
            avcodec_send_packet(m_codec, nullptr);
            m_flushed = true;
            continue;
        }
        // A damaged packet is skipped, as a player skips a bad block.
        avcodec_send_packet(m_codec, m_packet);
        av_packet_unref(m_packet);
    }
    return false;
}

size_t FfmpegSource::read(float* samples, size_t frames)
{
    const size_t channels = static_cast<size_t>(m_format.channels);
    size_t done = 0;
    while (done < frames) {
        if (m_pendingAt == m_pending.size()) {
            m_pending.clear();
            m_pendingAt = 0;
            if (!decodeMore())
                break;
        }
        size_t n = std::min(frames - done, (m_pending.size() - m_pendingAt) / channels);
        std::memcpy(samples + done * channels, m_pending.data() + m_pendingAt, n * channels * sizeof(float));
        m_pendingAt += n * channels;
        done += n;
    }
    return done;
}

bool FfmpegSource::rewind()
{
    if (av_seek_frame(m_container, m_stream, 0, AVSEEK_FLAG_BACKWARD) < 0 &&
        avformat_seek_file(m_container, m_stream, INT64_MIN, 0, 0, 0) < 0)
        return false;
    avcodec_flush_buffers(m_codec);
    m_pending.clear();
    m_pendingAt = 0;
    m_flushed = false;
    m_ended = false;
    return swr_init(m_resampler) >= 0;
}

}  // namespace platform
