// MovieFileCodec: QuickTime movies with FFmpeg (see MovieFileCodec.h).
#include <AVFoundation/MovieFileCodec.h>

#include <AudioToolbox/FFmpegHandles.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int kSoundRate = 44100;

using namespace ffmpeg_handles;

// Sends one frame (nil: the end) to an encoder and writes what comes out.
bool encode(AVFormatContext* format, AVCodecContext* codec, AVStream* stream, AVFrame* frame) {
    if (avcodec_send_frame(codec, frame) < 0) {
        return false;
    }
    PacketPtr packet(av_packet_alloc());
    while (true) {
        int rc = avcodec_receive_packet(codec, packet.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) {
            return true;
        }
        if (rc < 0) {
            return false;
        }
        av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        if (av_write_frame(format, packet.get()) < 0) {
            return false;
        }
    }
}

InputPtr openInput(const std::string& path, std::string* error) {
    av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* raw = nullptr;
    if (int rc = avformat_open_input(&raw, path.c_str(), nullptr, nullptr); rc < 0) {
        fail(error, "cannot open " + path + ": " + averror(rc));
        return nullptr;
    }
    InputPtr input(raw);
    if (avformat_find_stream_info(input.get(), nullptr) < 0) {
        fail(error, "cannot read the tracks of " + path);
        return nullptr;
    }
    return input;
}

CodecPtr openDecoder(AVFormatContext* input, int stream) {
    const AVCodecParameters* par = input->streams[stream]->codecpar;
    const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
    if (!decoder) {
        return nullptr;
    }
    CodecPtr codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), par) < 0) {
        return nullptr;
    }
    codec->thread_count = 1;
    if (avcodec_open2(codec.get(), decoder, nullptr) < 0) {
        return nullptr;
    }
    return codec;
}

// The mono sound of a track, resampled to 44100 Hz.
bool decodeSound(AVFormatContext* input, int stream, std::vector<float>& out) {
    CodecPtr codec = openDecoder(input, stream);
    if (!codec) {
        return false;
    }
    AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    SwrContext* rawSwr = nullptr;
    if (swr_alloc_set_opts2(&rawSwr, &mono, AV_SAMPLE_FMT_FLT, kSoundRate, &codec->ch_layout, codec->sample_fmt,
                            codec->sample_rate, 0, nullptr) < 0 ||
        swr_init(rawSwr) < 0) {
        swr_free(&rawSwr);
        return false;
    }
    std::unique_ptr<SwrContext, void (*)(SwrContext*)> swr(rawSwr, [](SwrContext* s) { swr_free(&s); });
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    auto drain = [&] {
        while (avcodec_receive_frame(codec.get(), frame.get()) >= 0) {
            int room = swr_get_out_samples(swr.get(), frame->nb_samples);
            if (room > 0) {
                size_t at = out.size();
                out.resize(at + static_cast<size_t>(room));
                auto* dst = reinterpret_cast<uint8_t*>(out.data() + at);
                int n = swr_convert(swr.get(), &dst, room, const_cast<const uint8_t**>(frame->extended_data),
                                    frame->nb_samples);
                out.resize(at + static_cast<size_t>(std::max(0, n)));
            }
            av_frame_unref(frame.get());
            if (out.size() > static_cast<size_t>(600 * kSoundRate)) {
                return false;
            }
        }
        return true;
    };
    av_seek_frame(input, -1, 0, AVSEEK_FLAG_BACKWARD);
    while (av_read_frame(input, packet.get()) >= 0) {
        if (packet->stream_index == stream) {
            avcodec_send_packet(codec.get(), packet.get());
            if (!drain()) {
                av_packet_unref(packet.get());
                break;
            }
        }
        av_packet_unref(packet.get());
    }
    avcodec_send_packet(codec.get(), nullptr);
    drain();
    return true;
}

} // namespace

// MARK: - Writer

struct MovieFileWriter::State {
    OutputPtr format;
    CodecPtr video;
    CodecPtr sound;
    AVStream* videoStream = nullptr;
    AVStream* soundStream = nullptr;
    ScalePtr scale;
    FramePtr picture;
    int width = 0, height = 0;
    int scaleFromWidth = 0, scaleFromHeight = 0;
    bool finished = false;
};

MovieFileWriter::MovieFileWriter(std::unique_ptr<State> state, int framesPerSecond)
    : state_(std::move(state)), framesPerSecond_(framesPerSecond) {}

MovieFileWriter::~MovieFileWriter() {
    if (state_ && !state_->finished) {
        (void)finish({});
    }
}

std::unique_ptr<MovieFileWriter> MovieFileWriter::create(const std::string& path, int width, int height,
                                                         int framesPerSecond, bool withSound, std::string* error) {
    av_log_set_level(AV_LOG_QUIET);
    if (width < 2 || height < 2 || width > 4096 || height > 4096 || width % 2 || height % 2) {
        fail(error, "the frame size of a movie must be even and at most 4096");
        return nullptr;
    }
    if (framesPerSecond < 1 || framesPerSecond > 120) {
        fail(error, "the frame rate of a movie must be 1 to 120");
        return nullptr;
    }
    auto s = std::make_unique<State>();
    s->width = width;
    s->height = height;
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, "mov", path.c_str()) < 0 || !raw) {
        fail(error, "cannot set up the movie container");
        return nullptr;
    }
    s->format.reset(raw);
    const AVCodec* videoEncoder = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    const AVCodec* soundEncoder = withSound ? avcodec_find_encoder(AV_CODEC_ID_AAC) : nullptr;
    if (!videoEncoder || (withSound && !soundEncoder)) {
        fail(error, "no movie encoders in this FFmpeg");
        return nullptr;
    }
    s->video.reset(avcodec_alloc_context3(videoEncoder));
    s->videoStream = avformat_new_stream(s->format.get(), nullptr);
    if (!s->video || !s->videoStream) {
        fail(error, "out of memory");
        return nullptr;
    }
    AVCodecContext* v = s->video.get();
    v->width = width;
    v->height = height;
    v->pix_fmt = AV_PIX_FMT_YUV420P;
    v->time_base = AVRational{1, framesPerSecond};
    v->framerate = AVRational{framesPerSecond, 1};
    v->gop_size = framesPerSecond;
    v->max_b_frames = 0;
    v->thread_count = 1;
    // A fixed, fine quantiser: the picture must keep the chart's colours.
    v->flags |= AV_CODEC_FLAG_QSCALE;
    v->global_quality = FF_QP2LAMBDA * 3;
    if (s->format->oformat->flags & AVFMT_GLOBALHEADER) {
        v->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    if (int rc = avcodec_open2(v, videoEncoder, nullptr); rc < 0) {
        fail(error, "cannot open the video encoder: " + averror(rc));
        return nullptr;
    }
    avcodec_parameters_from_context(s->videoStream->codecpar, v);
    s->videoStream->time_base = v->time_base;
    if (withSound) {
        s->sound.reset(avcodec_alloc_context3(soundEncoder));
        s->soundStream = avformat_new_stream(s->format.get(), nullptr);
        if (!s->sound || !s->soundStream) {
            fail(error, "out of memory");
            return nullptr;
        }
        AVCodecContext* a = s->sound.get();
        a->sample_fmt = AV_SAMPLE_FMT_FLTP;
        a->sample_rate = kSoundRate;
        AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
        av_channel_layout_copy(&a->ch_layout, &mono);
        a->bit_rate = 96000;
        a->time_base = AVRational{1, kSoundRate};
        if (s->format->oformat->flags & AVFMT_GLOBALHEADER) {
            a->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        if (int rc = avcodec_open2(a, soundEncoder, nullptr); rc < 0) {
            fail(error, "cannot open the sound encoder: " + averror(rc));
            return nullptr;
        }
        avcodec_parameters_from_context(s->soundStream->codecpar, a);
        s->soundStream->time_base = a->time_base;
    }
    if (int rc = avio_open(&s->format->pb, path.c_str(), AVIO_FLAG_WRITE); rc < 0) {
        fail(error, "cannot write " + path + ": " + averror(rc));
        return nullptr;
    }
    if (int rc = avformat_write_header(s->format.get(), nullptr); rc < 0) {
        fail(error, "cannot write the movie header: " + averror(rc));
        return nullptr;
    }
    s->picture.reset(av_frame_alloc());
    if (!s->picture) {
        fail(error, "out of memory");
        return nullptr;
    }
    s->picture->format = AV_PIX_FMT_YUV420P;
    s->picture->width = width;
    s->picture->height = height;
    if (av_frame_get_buffer(s->picture.get(), 0) < 0) {
        fail(error, "out of memory");
        return nullptr;
    }
    return std::unique_ptr<MovieFileWriter>(new MovieFileWriter(std::move(s), framesPerSecond));
}

bool MovieFileWriter::addFrame(const SimFrame& frame) {
    State& s = *state_;
    if (s.finished || frame.width < 1 || frame.height < 1 ||
        frame.pixels.size() < static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height)) {
        return false;
    }
    if (!s.scale || s.scaleFromWidth != frame.width || s.scaleFromHeight != frame.height) {
        s.scale.reset(sws_getContext(frame.width, frame.height, AV_PIX_FMT_BGRA, s.width, s.height, AV_PIX_FMT_YUV420P,
                                     SWS_BILINEAR, nullptr, nullptr, nullptr));
        s.scaleFromWidth = frame.width;
        s.scaleFromHeight = frame.height;
    }
    if (!s.scale || av_frame_make_writable(s.picture.get()) < 0) {
        return false;
    }
    const uint8_t* source[1] = {reinterpret_cast<const uint8_t*>(frame.pixels.data())};
    int stride[1] = {frame.width * 4};
    sws_scale(s.scale.get(), source, stride, 0, frame.height, s.picture->data, s.picture->linesize);
    s.picture->pts = frames_;
    if (!encode(s.format.get(), s.video.get(), s.videoStream, s.picture.get())) {
        return false;
    }
    ++frames_;
    return true;
}

int64_t MovieFileWriter::bytesWritten() const {
    const State& s = *state_;
    return s.format && s.format->pb ? avio_tell(s.format->pb) : 0;
}

bool MovieFileWriter::finish(const std::vector<float>& sound, std::string* error) {
    State& s = *state_;
    if (s.finished) {
        return fail(error, "the movie is already closed");
    }
    s.finished = true;
    bool ok = encode(s.format.get(), s.video.get(), s.videoStream, nullptr);
    if (ok && s.sound) {
        AVCodecContext* a = s.sound.get();
        int size = a->frame_size > 0 ? a->frame_size : 1024;
        FramePtr chunk(av_frame_alloc());
        for (size_t at = 0; ok && at < sound.size(); at += static_cast<size_t>(size)) {
            int n = static_cast<int>(std::min(sound.size() - at, static_cast<size_t>(size)));
            chunk->nb_samples = size;
            chunk->format = a->sample_fmt;
            chunk->sample_rate = kSoundRate;
            av_channel_layout_copy(&chunk->ch_layout, &a->ch_layout);
            if (av_frame_get_buffer(chunk.get(), 0) < 0) {
                ok = false;
                break;
            }
            auto* out = reinterpret_cast<float*>(chunk->data[0]);
            std::fill(out, out + size, 0.0f);
            std::memcpy(out, sound.data() + at, static_cast<size_t>(n) * sizeof(float));
            chunk->pts = static_cast<int64_t>(at);
            ok = encode(s.format.get(), a, s.soundStream, chunk.get());
            av_frame_unref(chunk.get());
        }
        ok = ok && encode(s.format.get(), a, s.soundStream, nullptr);
    }
    if (ok && av_write_trailer(s.format.get()) < 0) {
        ok = false;
    }
    s.format.reset();
    return ok || fail(error, "cannot write the movie");
}

// MARK: - Reader

std::optional<MovieFileInfo> MovieFileRead(const std::string& path, std::string* error) {
    InputPtr input = openInput(path, error);
    if (!input) {
        return std::nullopt;
    }
    int video = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0) {
        fail(error, path + " holds no video track");
        return std::nullopt;
    }
    MovieFileInfo info;
    const AVStream* v = input->streams[video];
    info.width = v->codecpar->width;
    info.height = v->codecpar->height;
    if (info.width < 1 || info.height < 1 || info.width > 8192 || info.height > 8192) {
        fail(error, path + " has no usable frame size");
        return std::nullopt;
    }
    AVRational rate = v->avg_frame_rate.num > 0 ? v->avg_frame_rate : v->r_frame_rate;
    info.framesPerSecond = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0;
    info.frameCount = static_cast<int>(v->nb_frames);
    double videoLength = v->duration > 0 ? static_cast<double>(v->duration) * av_q2d(v->time_base) : 0;
    if (videoLength <= 0 && info.frameCount > 0) {
        // A movie of a single frame has no rate to read: it shows for one frame of the usual 30.
        videoLength = info.frameCount / (info.framesPerSecond > 0 ? info.framesPerSecond : 30.0);
    }
    info.duration = videoLength;
    int sound = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (sound >= 0) {
        info.hasSound = decodeSound(input.get(), sound, info.sound);
        info.duration = std::max(info.duration, static_cast<double>(info.sound.size()) / kSoundRate);
    }
    if (info.frameCount <= 0 || !std::isfinite(info.duration) || info.duration <= 0) {
        fail(error, path + " holds no frames");
        return std::nullopt;
    }
    return info;
}

std::optional<std::vector<SimFrame>> MovieFileFrames(const std::string& path, size_t maxFrames, std::string* error) {
    auto reader = MovieFrameReader::open(path, error);
    if (!reader) {
        return std::nullopt;
    }
    auto info = MovieFileRead(path, error);
    if (!info) {
        return std::nullopt;
    }
    std::vector<SimFrame> frames;
    double step = info->framesPerSecond > 0 ? 1.0 / info->framesPerSecond : 0.05;
    for (int i = 0; i < info->frameCount && frames.size() < maxFrames; ++i) {
        auto frame = reader->frameAt((i + 0.5) * step);
        if (!frame) {
            break;
        }
        frames.push_back(std::move(*frame));
    }
    if (frames.empty()) {
        fail(error, path + " holds no decodable frame");
        return std::nullopt;
    }
    return frames;
}

struct MovieFrameReader::State {
    std::string path;
    InputPtr input;
    CodecPtr codec;
    int stream = -1;
    ScalePtr scale;
    PacketPtr packet;
    FramePtr decoded;
    std::optional<SimFrame> current; // the last frame decoded, shown from currentAt
    double currentAt = -1;
    std::optional<SimFrame> next;
    double nextAt = -1;
    bool ended = false;
};

MovieFrameReader::MovieFrameReader(std::unique_ptr<State> state) : state_(std::move(state)) {}
MovieFrameReader::~MovieFrameReader() = default;

std::unique_ptr<MovieFrameReader> MovieFrameReader::open(const std::string& path, std::string* error) {
    auto s = std::make_unique<State>();
    s->path = path;
    std::unique_ptr<MovieFrameReader> reader(new MovieFrameReader(std::move(s)));
    if (!reader->restart()) {
        fail(error, "cannot decode the frames of " + path);
        return nullptr;
    }
    return reader;
}

bool MovieFrameReader::restart() {
    State& s = *state_;
    s.codec.reset();
    s.input = openInput(s.path, nullptr);
    if (!s.input) {
        return false;
    }
    s.stream = av_find_best_stream(s.input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (s.stream < 0) {
        return false;
    }
    s.codec = openDecoder(s.input.get(), s.stream);
    if (!s.codec || s.codec->width < 1 || s.codec->height < 1 || s.codec->width > 8192 || s.codec->height > 8192) {
        return false;
    }
    s.packet.reset(av_packet_alloc());
    s.decoded.reset(av_frame_alloc());
    s.current.reset();
    s.next.reset();
    s.currentAt = s.nextAt = -1;
    s.ended = false;
    if (!decodeNext()) {
        return false;
    }
    s.current = std::move(s.next);
    s.currentAt = s.nextAt;
    s.next.reset();
    return true;
}

// Decodes the next frame into `next`; false at the end of the track.
bool MovieFrameReader::decodeNext() {
    State& s = *state_;
    if (s.ended) {
        return false;
    }
    AVRational base = s.input->streams[s.stream]->time_base;
    while (true) {
        int rc = avcodec_receive_frame(s.codec.get(), s.decoded.get());
        if (rc >= 0) {
            AVFrame* f = s.decoded.get();
            if (f->width < 1 || f->height < 1 || f->width > 8192 || f->height > 8192) {
                av_frame_unref(f);
                continue;
            }
            s.scale.reset(sws_getContext(f->width, f->height, static_cast<AVPixelFormat>(f->format), f->width,
                                         f->height, AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr));
            if (!s.scale) {
                av_frame_unref(f);
                continue;
            }
            SimFrame frame;
            frame.width = f->width;
            frame.height = f->height;
            frame.pixels.assign(static_cast<size_t>(f->width) * static_cast<size_t>(f->height), 0);
            uint8_t* dst[1] = {reinterpret_cast<uint8_t*>(frame.pixels.data())};
            int stride[1] = {f->width * 4};
            sws_scale(s.scale.get(), f->data, f->linesize, 0, f->height, dst, stride);
            int64_t pts = f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
            s.nextAt = pts != AV_NOPTS_VALUE ? static_cast<double>(pts) * av_q2d(base) : s.currentAt + 0.05;
            s.next = std::move(frame);
            av_frame_unref(f);
            return true;
        }
        if (rc == AVERROR_EOF) {
            s.ended = true;
            return false;
        }
        // Needs more input.
        int read = av_read_frame(s.input.get(), s.packet.get());
        if (read < 0) {
            avcodec_send_packet(s.codec.get(), nullptr);
            continue;
        }
        if (s.packet->stream_index == s.stream) {
            avcodec_send_packet(s.codec.get(), s.packet.get());
        }
        av_packet_unref(s.packet.get());
    }
}

std::optional<SimFrame> MovieFrameReader::frameAt(double seconds) {
    State& s = *state_;
    if (!s.current) {
        return std::nullopt;
    }
    if (seconds < s.currentAt && s.currentAt > 0) {
        if (!restart()) {
            return std::nullopt;
        }
    }
    while (true) {
        if (!s.next && !decodeNext()) {
            break;
        }
        if (s.nextAt > seconds) {
            break;
        }
        s.current = std::move(s.next);
        s.currentAt = s.nextAt;
        s.next.reset();
    }
    return s.current;
}
