// Writes the bundled sounds of the audio tests into a folder (Resources/ by default): tones and
// silences, each in the format its name says; the silences (played as "now playing") carry a
// title, artist, album and artwork. Built and run by scripts/make-sounds.sh; the files
// it writes are committed, and running it again writes the same sounds.
#include <AudioToolbox/AudioFileCodec.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

namespace {

struct Note {
    double frequency; // 0: a rest
    double seconds;
};

// A tune of soft-edged notes; `left`/`right` say which channels carry it (a mono file: left only).
AudioFileData tune(const std::vector<Note>& notes, int channels, bool left, bool right, float amplitude) {
    AudioFileData data;
    data.channels = channels;
    for (const auto& note : notes) {
        auto frames = static_cast<size_t>(note.seconds * AudioFileData::kSampleRate);
        for (size_t i = 0; i < frames; ++i) {
            double t = static_cast<double>(i) / AudioFileData::kSampleRate;
            // 10 ms fade in and out, so notes do not click.
            double edge = std::min({1.0, t / 0.01, (note.seconds - t) / 0.01});
            double v = note.frequency > 0 ? amplitude * edge *
                                                (std::sin(2 * std::numbers::pi * note.frequency * t) +
                                                 0.3 * std::sin(4 * std::numbers::pi * note.frequency * t)) /
                                                1.3
                                          : 0.0;
            for (int c = 0; c < channels; ++c) {
                bool on = channels == 1 || (c == 0 ? left : right);
                data.samples.push_back(on ? static_cast<float>(v) : 0.0f);
            }
        }
    }
    return data;
}

AudioFileData silence(double seconds, int channels) {
    AudioFileData data;
    data.channels = channels;
    data.samples.assign(static_cast<size_t>(seconds * AudioFileData::kSampleRate) * static_cast<size_t>(channels),
                        0.0f);
    return data;
}

// The artwork of the silences: a 64x64 PNG, a speaker cone with sound waves on a blue ground,
// encoded with FFmpeg's PNG encoder. Empty when the encoder is missing.
std::string artwork() {
    constexpr int kSize = 64;
    const AVCodec* png = avcodec_find_encoder(AV_CODEC_ID_PNG);
    AVCodecContext* codec = png ? avcodec_alloc_context3(png) : nullptr;
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    std::string bytes;
    if (codec && frame && packet) {
        codec->width = kSize;
        codec->height = kSize;
        codec->pix_fmt = AV_PIX_FMT_RGB24;
        codec->time_base = AVRational{1, 1};
        frame->format = AV_PIX_FMT_RGB24;
        frame->width = kSize;
        frame->height = kSize;
        if (avcodec_open2(codec, png, nullptr) == 0 && av_frame_get_buffer(frame, 0) == 0) {
            for (int y = 0; y < kSize; ++y) {
                uint8_t* row = frame->data[0] + static_cast<ptrdiff_t>(y) * frame->linesize[0];
                for (int x = 0; x < kSize; ++x) {
                    double dx = x - 18.0, dy = y - 32.0;
                    double r = std::hypot(dx, dy);
                    bool cone = x >= 10 && x <= 26 && std::abs(dy) <= 6 + (x - 10) * 0.8;
                    bool wave = dx > 10 && (std::abs(r - 26) < 2 || std::abs(r - 36) < 2) && std::abs(dy) < dx;
                    uint8_t* px = row + 3 * x;
                    px[0] = cone || wave ? 255 : 30;
                    px[1] = cone || wave ? 255 : static_cast<uint8_t>(80 + y);
                    px[2] = cone || wave ? 255 : 200;
                }
            }
            if (avcodec_send_frame(codec, frame) == 0 && avcodec_receive_packet(codec, packet) == 0) {
                bytes.assign(reinterpret_cast<const char*>(packet->data), static_cast<size_t>(packet->size));
            }
        }
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&codec);
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    std::string folder = argc > 1 ? argv[1] : "Resources";
    const std::vector<Note> melody{{523.25, 0.4}, {659.25, 0.4}, {783.99, 0.4}, {1046.5, 0.6},
                                   {783.99, 0.4}, {659.25, 0.4}, {523.25, 0.8}};
    struct File {
        const char* name;
        const char* format;
        AudioFileData data;
    };
    std::vector<File> files;
    files.push_back({"audiotest.mp3", "mp3", tune(melody, 2, true, true, 0.6f)});
    files.push_back({"audiotest_leftSpeaker.m4a", "m4a", tune({{440, 3.0}}, 2, true, false, 0.6f)});
    files.push_back({"audiotest_rightSpeaker.m4a", "m4a", tune({{660, 3.0}}, 2, false, true, 0.6f)});
    files.push_back({"sample.m4a", "m4a", tune(melody, 2, true, true, 0.6f)});
    files.push_back({"lowfreqaudio.wav", "wav", tune({{120, 2.0}}, 1, true, true, 0.7f)});
    files.push_back({"mute.caf", "caf", tune({{1000, 0.25}}, 1, true, true, 0.2f)});
    const std::string art = artwork();
    if (art.empty()) {
        std::fprintf(stderr, "cannot make the artwork (no PNG encoder)\n");
        return 1;
    }
    AudioFileData ten = silence(10, 2);
    ten.artwork = art;
    ten.metadata = {{"title", "10 Seconds of Silence"}, {"artist", "Celvix"}, {"album", "Diagnostics"}};
    files.push_back({"10-seconds-of-silence.mp3", "mp3", ten});
    AudioFileData thirty = silence(30, 2);
    thirty.artwork = art;
    thirty.metadata = {{"title", "30 Seconds of Silence"}, {"artist", "Celvix"}, {"album", "Diagnostics"}};
    files.push_back({"30-seconds-of-silence.mp3", "mp3", thirty});
    int failures = 0;
    for (const auto& f : files) {
        std::string error;
        std::string path = folder + "/" + f.name;
        if (!AudioFileEncode(path, f.format, f.data, 44100, &error)) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
            ++failures;
        } else {
            std::printf("wrote %s (%.2f s)\n", path.c_str(), f.data.duration());
        }
    }
    return failures ? 1 : 0;
}
