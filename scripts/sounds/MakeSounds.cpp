// Writes the bundled sounds of the audio tests into a folder (Resources/ by default): tones and
// silences, each in the format its name says. Built and run by scripts/make-sounds.sh; the files
// it writes are committed, and running it again writes the same sounds.
#include <AudioToolbox/AudioFileCodec.h>

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
    AudioFileData ten = silence(10, 2);
    ten.metadata = {{"title", "10 Seconds of Silence"}, {"artist", "Celvix"}, {"album", "Diagnostics"}};
    files.push_back({"10-seconds-of-silence.mp3", "mp3", ten});
    AudioFileData thirty = silence(30, 2);
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
