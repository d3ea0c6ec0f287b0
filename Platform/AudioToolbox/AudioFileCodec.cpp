// AudioFileCodec: sound files read and written with libavformat, libavcodec and libswresample.
#include <AudioToolbox/AudioFileCodec.h>
#include <AudioToolbox/FFmpegHandles.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

using namespace ffmpeg_handles;
using FormatPtr = InputPtr;

// A file in memory read through a custom I/O context.
struct MemoryReader {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t position = 0;

    static int read(void* opaque, uint8_t* buffer, int length) {
        auto* r = static_cast<MemoryReader*>(opaque);
        size_t left = r->size - r->position;
        if (left == 0) {
            return AVERROR_EOF;
        }
        size_t n = std::min(left, static_cast<size_t>(std::max(0, length)));
        std::memcpy(buffer, r->data + r->position, n);
        r->position += n;
        return static_cast<int>(n);
    }
    static int64_t seek(void* opaque, int64_t offset, int whence) {
        auto* r = static_cast<MemoryReader*>(opaque);
        if (whence & AVSEEK_SIZE) {
            return static_cast<int64_t>(r->size);
        }
        int64_t base = (whence & 3) == SEEK_CUR   ? static_cast<int64_t>(r->position)
                       : (whence & 3) == SEEK_END ? static_cast<int64_t>(r->size)
                                                  : 0;
        int64_t target = base + offset;
        if (target < 0 || target > static_cast<int64_t>(r->size)) {
            return AVERROR(EINVAL);
        }
        r->position = static_cast<size_t>(target);
        return target;
    }
};

struct AVIOFreer {
    void operator()(AVIOContext* c) const {
        if (c) {
            av_freep(&c->buffer);
            avio_context_free(&c);
        }
    }
};

void readMetadata(AVFormatContext* format, AudioFileData& out) {
    if (format->iformat && format->iformat->name) {
        out.container = format->iformat->name;
    }
    for (AVDictionary* dict : {format->metadata}) {
        for (const char* key : {"title", "artist", "album"}) {
            if (AVDictionaryEntry* e = av_dict_get(dict, key, nullptr, 0); e && e->value) {
                out.metadata[key] = e->value;
            }
        }
    }
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        AVStream* s = format->streams[i];
        if ((s->disposition & AV_DISPOSITION_ATTACHED_PIC) && s->attached_pic.data && s->attached_pic.size > 0) {
            out.artwork.assign(reinterpret_cast<const char*>(s->attached_pic.data),
                               static_cast<size_t>(s->attached_pic.size));
        }
        for (const char* key : {"title", "artist", "album"}) {
            if (out.metadata.count(key) == 0) {
                if (AVDictionaryEntry* e = av_dict_get(s->metadata, key, nullptr, 0); e && e->value) {
                    out.metadata[key] = e->value;
                }
            }
        }
    }
}

// Decodes the best audio stream of an opened container.
std::optional<AudioFileData> decodeOpened(AVFormatContext* format, std::string* error) {
    if (int rc = avformat_find_stream_info(format, nullptr); rc < 0) {
        fail(error, "cannot read the stream information: " + averror(rc));
        return std::nullopt;
    }
    const AVCodec* decoder = nullptr;
    int stream = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream < 0 || !decoder) {
        fail(error, "the file holds no audio stream that can be decoded");
        return std::nullopt;
    }
    AVCodecParameters* parameters = format->streams[stream]->codecpar;
    if (parameters->ch_layout.nb_channels <= 0 || parameters->ch_layout.nb_channels > 64 ||
        parameters->sample_rate <= 0 || parameters->sample_rate > 768000) {
        fail(error, "the audio stream has no usable channel count or sample rate");
        return std::nullopt;
    }
    CodecPtr codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), parameters) < 0) {
        fail(error, "cannot set up the decoder");
        return std::nullopt;
    }
    if (int rc = avcodec_open2(codec.get(), decoder, nullptr); rc < 0) {
        fail(error, "cannot open the decoder: " + averror(rc));
        return std::nullopt;
    }

    AudioFileData out;
    readMetadata(format, out);
    out.channels = std::min(2, parameters->ch_layout.nb_channels);
    AVChannelLayout outLayout;
    av_channel_layout_default(&outLayout, out.channels);
    size_t maxSamples =
        static_cast<size_t>(kMaxDecodedSeconds * AudioFileData::kSampleRate) * static_cast<size_t>(out.channels);

    SwrPtr swr;
    int swrRate = 0;
    AVSampleFormat swrFormat = AV_SAMPLE_FMT_NONE;
    AVChannelLayout swrLayout{};
    auto convert = [&](AVFrame* frame) -> bool {
        if (!swr || frame->sample_rate != swrRate || frame->format != swrFormat ||
            av_channel_layout_compare(&frame->ch_layout, &swrLayout) != 0) {
            SwrContext* raw = nullptr;
            if (frame->sample_rate <= 0 || frame->ch_layout.nb_channels <= 0 ||
                swr_alloc_set_opts2(&raw, &outLayout, AV_SAMPLE_FMT_FLT, static_cast<int>(AudioFileData::kSampleRate),
                                    &frame->ch_layout, static_cast<AVSampleFormat>(frame->format), frame->sample_rate,
                                    0, nullptr) < 0 ||
                !raw) {
                swr_free(&raw);
                return false;
            }
            swr.reset(raw);
            if (swr_init(swr.get()) < 0) {
                swr.reset();
                return false;
            }
            swrRate = frame->sample_rate;
            swrFormat = static_cast<AVSampleFormat>(frame->format);
            av_channel_layout_uninit(&swrLayout);
            av_channel_layout_copy(&swrLayout, &frame->ch_layout);
        }
        int64_t room = swr_get_out_samples(swr.get(), frame ? frame->nb_samples : 0);
        if (room <= 0) {
            return true;
        }
        size_t at = out.samples.size();
        out.samples.resize(at + static_cast<size_t>(room) * static_cast<size_t>(out.channels));
        uint8_t* dst = reinterpret_cast<uint8_t*>(out.samples.data() + at);
        int n = swr_convert(swr.get(), &dst, static_cast<int>(room), const_cast<const uint8_t**>(frame->extended_data),
                            frame->nb_samples);
        if (n < 0) {
            out.samples.resize(at);
            return false;
        }
        out.samples.resize(at + static_cast<size_t>(n) * static_cast<size_t>(out.channels));
        return true;
    };

    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    bool bad = false;
    auto drain = [&]() {
        while (true) {
            int rc = avcodec_receive_frame(codec.get(), frame.get());
            if (rc < 0) {
                return;
            }
            if (!convert(frame.get())) {
                bad = true;
            }
            av_frame_unref(frame.get());
            if (out.samples.size() >= maxSamples) {
                return;
            }
        }
    };
    int decodedPackets = 0;
    while (out.samples.size() < maxSamples && av_read_frame(format, packet.get()) >= 0) {
        if (packet->stream_index == stream) {
            if (avcodec_send_packet(codec.get(), packet.get()) >= 0) {
                ++decodedPackets;
            }
            drain();
        }
        av_packet_unref(packet.get());
    }
    avcodec_send_packet(codec.get(), nullptr);
    drain();
    if (swr && out.samples.size() < maxSamples) {
        // What the resampler still holds.
        int64_t room = swr_get_out_samples(swr.get(), 0);
        if (room > 0) {
            size_t at = out.samples.size();
            out.samples.resize(at + static_cast<size_t>(room) * static_cast<size_t>(out.channels));
            uint8_t* dst = reinterpret_cast<uint8_t*>(out.samples.data() + at);
            int n = swr_convert(swr.get(), &dst, static_cast<int>(room), nullptr, 0);
            out.samples.resize(at + static_cast<size_t>(std::max(0, n)) * static_cast<size_t>(out.channels));
        }
    }
    av_channel_layout_uninit(&swrLayout);
    av_channel_layout_uninit(&outLayout);
    if (out.samples.size() > maxSamples) {
        out.samples.resize(maxSamples);
    }
    if (decodedPackets == 0 || (out.samples.empty() && bad)) {
        fail(error, "the audio stream does not decode");
        return std::nullopt;
    }
    for (auto& v : out.samples) {
        if (!std::isfinite(v)) {
            v = 0;
        }
        v = std::clamp(v, -1.0f, 1.0f);
    }
    return out;
}

} // namespace

std::vector<float> AudioFileData::channel(int index) const {
    std::vector<float> out;
    if (channels <= 0) {
        return out;
    }
    int c = std::clamp(index, 0, channels - 1);
    out.reserve(frames());
    for (size_t i = static_cast<size_t>(c); i < samples.size(); i += static_cast<size_t>(channels)) {
        out.push_back(samples[i]);
    }
    return out;
}

std::vector<float> AudioFileData::mono() const {
    std::vector<float> out;
    if (channels <= 0) {
        return out;
    }
    out.reserve(frames());
    for (size_t i = 0; i + static_cast<size_t>(channels) <= samples.size(); i += static_cast<size_t>(channels)) {
        float sum = 0;
        for (int c = 0; c < channels; ++c) {
            sum += samples[i + static_cast<size_t>(c)];
        }
        out.push_back(sum / static_cast<float>(channels));
    }
    return out;
}

std::optional<AudioFileData> AudioFileDecode(const std::string& path, std::string* error) {
    av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* raw = nullptr;
    if (int rc = avformat_open_input(&raw, path.c_str(), nullptr, nullptr); rc < 0) {
        fail(error, "cannot open " + path + ": " + averror(rc));
        return std::nullopt;
    }
    FormatPtr format(raw);
    return decodeOpened(format.get(), error);
}

namespace {

// Reads the container's facts of an opened file: duration and metadata, without decoding.
std::optional<AudioFileData> probeOpened(AVFormatContext* format, double* duration, std::string* error) {
    if (int rc = avformat_find_stream_info(format, nullptr); rc < 0) {
        fail(error, "cannot read the stream information: " + averror(rc));
        return std::nullopt;
    }
    int stream = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (stream < 0) {
        fail(error, "the file holds no audio stream");
        return std::nullopt;
    }
    AudioFileData out;
    readMetadata(format, out);
    out.channels = std::min(2, std::max(1, format->streams[stream]->codecpar->ch_layout.nb_channels));
    if (duration) {
        *duration = format->duration > 0 ? static_cast<double>(format->duration) / AV_TIME_BASE : 0.0;
    }
    return out;
}

// Opens a file held in memory and hands the opened container to `use`.
template <typename Use>
std::optional<AudioFileData> withMemoryFile(const uint8_t* data, size_t size, std::string* error, Use use) {
    av_log_set_level(AV_LOG_QUIET);
    if (!data || size == 0) {
        fail(error, "the file is empty");
        return std::nullopt;
    }
    MemoryReader reader{data, size, 0};
    constexpr int kBuffer = 4096;
    auto* buffer = static_cast<uint8_t*>(av_malloc(kBuffer));
    if (!buffer) {
        fail(error, "out of memory");
        return std::nullopt;
    }
    std::unique_ptr<AVIOContext, AVIOFreer> io(
        avio_alloc_context(buffer, kBuffer, 0, &reader, &MemoryReader::read, nullptr, &MemoryReader::seek));
    if (!io) {
        av_free(buffer);
        fail(error, "out of memory");
        return std::nullopt;
    }
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) {
        fail(error, "out of memory");
        return std::nullopt;
    }
    raw->pb = io.get();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    if (int rc = avformat_open_input(&raw, nullptr, nullptr, nullptr); rc < 0) {
        fail(error, "cannot read the file: " + averror(rc));
        return std::nullopt;
    }
    FormatPtr format(raw);
    auto result = use(format.get());
    format.reset();
    return result;
}

} // namespace

std::optional<AudioFileData> AudioFileDecodeMemory(const uint8_t* data, size_t size, std::string* error) {
    return withMemoryFile(data, size, error, [error](AVFormatContext* format) { return decodeOpened(format, error); });
}

std::optional<AudioFileData> AudioFileProbe(const std::string& path, double* duration, std::string* error) {
    av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* raw = nullptr;
    if (int rc = avformat_open_input(&raw, path.c_str(), nullptr, nullptr); rc < 0) {
        fail(error, "cannot open " + path + ": " + averror(rc));
        return std::nullopt;
    }
    FormatPtr format(raw);
    return probeOpened(format.get(), duration, error);
}

std::optional<AudioFileData> AudioFileProbeMemory(const uint8_t* data, size_t size, double* duration,
                                                  std::string* error) {
    return withMemoryFile(data, size, error,
                          [duration, error](AVFormatContext* format) { return probeOpened(format, duration, error); });
}

bool AudioFileEncode(const std::string& path, const std::string& container, const AudioFileData& audio, int sampleRate,
                     std::string* error) {
    av_log_set_level(AV_LOG_QUIET);
    AVCodecID codecId;
    const char* muxer;
    if (container == "m4a") {
        codecId = AV_CODEC_ID_AAC;
        muxer = "ipod";
    } else if (container == "mp3") {
        codecId = AV_CODEC_ID_MP3;
        muxer = "mp3";
    } else if (container == "wav") {
        codecId = AV_CODEC_ID_PCM_S16LE;
        muxer = "wav";
    } else if (container == "caf") {
        codecId = AV_CODEC_ID_PCM_S16LE;
        muxer = "caf";
    } else {
        return fail(error, "unknown sound file format \"" + container + "\"");
    }
    if (audio.channels < 1 || audio.channels > 2 || audio.samples.size() % static_cast<size_t>(audio.channels) != 0) {
        return fail(error, "the sound to write has no valid channel layout");
    }
    if (sampleRate < 8000 || sampleRate > 192000) {
        return fail(error, "unsupported sample rate");
    }
    const AVCodec* encoder = avcodec_find_encoder(codecId);
    if (!encoder) {
        return fail(error, "no encoder for \"" + container + "\" in this FFmpeg");
    }
    AVFormatContext* rawFormat = nullptr;
    if (avformat_alloc_output_context2(&rawFormat, nullptr, muxer, path.c_str()) < 0 || !rawFormat) {
        return fail(error, "cannot set up the \"" + container + "\" container");
    }
    auto formatDeleter = [](AVFormatContext* f) {
        if (f->pb) {
            avio_closep(&f->pb);
        }
        avformat_free_context(f);
    };
    std::unique_ptr<AVFormatContext, decltype(formatDeleter)> format(rawFormat, formatDeleter);
    for (const auto& [key, value] : audio.metadata) {
        av_dict_set(&format->metadata, key.c_str(), value.c_str(), 0);
    }
    AVStream* stream = avformat_new_stream(format.get(), nullptr);
    CodecPtr codec(avcodec_alloc_context3(encoder));
    if (!stream || !codec) {
        return fail(error, "out of memory");
    }
    // The artwork rides as a one-packet picture stream the muxer turns into an ID3 picture or a cover.
    AVStream* picture = nullptr;
    if (!audio.artwork.empty() && (container == "mp3" || container == "m4a")) {
        const auto& art = audio.artwork;
        bool png = art.size() > 24 && art.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0;
        bool jpeg = art.size() > 3 && static_cast<uint8_t>(art[0]) == 0xFF && static_cast<uint8_t>(art[1]) == 0xD8;
        if (!png && !jpeg) {
            return fail(error, "the artwork is neither PNG nor JPEG");
        }
        picture = avformat_new_stream(format.get(), nullptr);
        if (!picture) {
            return fail(error, "out of memory");
        }
        picture->disposition = AV_DISPOSITION_ATTACHED_PIC;
        picture->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
        picture->codecpar->codec_id = png ? AV_CODEC_ID_PNG : AV_CODEC_ID_MJPEG;
        if (png) {
            auto be32 = [&](size_t at) {
                return static_cast<int>(static_cast<uint32_t>(static_cast<uint8_t>(art[at])) << 24 |
                                        static_cast<uint32_t>(static_cast<uint8_t>(art[at + 1])) << 16 |
                                        static_cast<uint32_t>(static_cast<uint8_t>(art[at + 2])) << 8 |
                                        static_cast<uint32_t>(static_cast<uint8_t>(art[at + 3])));
            };
            picture->codecpar->width = be32(16);
            picture->codecpar->height = be32(20);
        }
        picture->time_base = AVRational{1, 90000};
    }
    AVSampleFormat sampleFormat = encoder->sample_fmts ? encoder->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    codec->sample_fmt = sampleFormat;
    codec->sample_rate = sampleRate;
    av_channel_layout_default(&codec->ch_layout, audio.channels);
    codec->bit_rate = codecId == AV_CODEC_ID_AAC || codecId == AV_CODEC_ID_MP3 ? 128000 : 0;
    codec->time_base = AVRational{1, sampleRate};
    if (format->oformat->flags & AVFMT_GLOBALHEADER) {
        codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if (int rc = avcodec_open2(codec.get(), encoder, nullptr); rc < 0) {
        return fail(error, "cannot open the encoder: " + averror(rc));
    }
    if (avcodec_parameters_from_context(stream->codecpar, codec.get()) < 0) {
        return fail(error, "cannot set up the stream");
    }
    stream->time_base = codec->time_base;
    if (int rc = avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE); rc < 0) {
        return fail(error, "cannot write " + path + ": " + averror(rc));
    }
    if (int rc = avformat_write_header(format.get(), nullptr); rc < 0) {
        return fail(error, "cannot write the header: " + averror(rc));
    }
    if (picture) {
        PacketPtr art(av_packet_alloc());
        if (!art || av_new_packet(art.get(), static_cast<int>(audio.artwork.size())) < 0) {
            return fail(error, "out of memory");
        }
        std::memcpy(art->data, audio.artwork.data(), audio.artwork.size());
        art->stream_index = picture->index;
        art->flags |= AV_PKT_FLAG_KEY;
        art->pts = art->dts = 0;
        if (int rc = av_write_frame(format.get(), art.get()); rc < 0) {
            return fail(error, "cannot write the artwork: " + averror(rc));
        }
    }

    SwrContext* rawSwr = nullptr;
    AVChannelLayout layout;
    av_channel_layout_default(&layout, audio.channels);
    if (swr_alloc_set_opts2(&rawSwr, &layout, sampleFormat, sampleRate, &layout, AV_SAMPLE_FMT_FLT,
                            static_cast<int>(AudioFileData::kSampleRate), 0, nullptr) < 0 ||
        swr_init(rawSwr) < 0) {
        swr_free(&rawSwr);
        av_channel_layout_uninit(&layout);
        return fail(error, "cannot set up the resampler");
    }
    SwrPtr swr(rawSwr);
    int frameSize = codec->frame_size > 0 ? codec->frame_size : 1024;
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    int64_t pts = 0;
    bool ok = true;
    auto writePackets = [&]() {
        while (true) {
            int rc = avcodec_receive_packet(codec.get(), packet.get());
            if (rc < 0) {
                return rc == AVERROR(EAGAIN) || rc == AVERROR_EOF;
            }
            av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (av_interleaved_write_frame(format.get(), packet.get()) < 0) {
                return false;
            }
        }
    };
    auto sendFrame = [&](int samples) {
        frame->nb_samples = samples;
        frame->format = sampleFormat;
        av_channel_layout_copy(&frame->ch_layout, &layout);
        frame->sample_rate = sampleRate;
        if (av_frame_get_buffer(frame.get(), 0) < 0) {
            return false;
        }
        int got = swr_convert(swr.get(), frame->extended_data, samples, nullptr, 0);
        if (got <= 0) {
            av_frame_unref(frame.get());
            return got == 0;
        }
        frame->nb_samples = got;
        frame->pts = pts;
        pts += got;
        bool sent = avcodec_send_frame(codec.get(), frame.get()) >= 0;
        av_frame_unref(frame.get());
        return sent && writePackets();
    };
    // Feed the resampler, then take frames of the encoder's size out of it.
    size_t frames = audio.frames();
    const uint8_t* in = reinterpret_cast<const uint8_t*>(audio.samples.data());
    if (frames > 0 && swr_convert(swr.get(), nullptr, 0, &in, static_cast<int>(frames)) < 0) {
        ok = false;
    }
    while (ok && swr_get_out_samples(swr.get(), 0) >= frameSize) {
        ok = sendFrame(frameSize);
    }
    while (ok && swr_get_out_samples(swr.get(), 0) > 0) {
        int left = static_cast<int>(std::min<int64_t>(frameSize, swr_get_out_samples(swr.get(), 0)));
        int64_t before = swr_get_out_samples(swr.get(), 0);
        ok = sendFrame(left);
        if (swr_get_out_samples(swr.get(), 0) >= before) {
            break;
        }
    }
    av_channel_layout_uninit(&layout);
    if (ok) {
        avcodec_send_frame(codec.get(), nullptr);
        ok = writePackets();
    }
    if (ok && av_write_trailer(format.get()) < 0) {
        ok = false;
    }
    if (!ok) {
        return fail(error, "cannot write " + path);
    }
    return true;
}
