// Helpers of the audio platform tests: the fixture that gives each test a fresh folder for real sound
// files, and tones to write into it.
#pragma once

#include <AudioToolbox/AudioFileCodec.h>
#include <Foundation/NSBundle.h>
#include <Foundation/NSURL.h>
#include <Support/PlatformTestCase.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <string>

namespace audio_test {

inline std::string freshFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "dx-audio-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    return made ? std::string(made) : std::string();
}

// The platform fixture plus a folder of the test's own, removed after it.
class FolderTestCase : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        folder = freshFolder();
        ASSERT_FALSE(folder.empty()) << "no temporary folder could be made";
    }
    void TearDown() override {
        PlatformTestCase::TearDown();
        if (!folder.empty()) {
            std::filesystem::remove_all(folder);
        }
    }

    // A file of the folder, by its name: its path, its file URL.
    std::string path(const std::string& name) const { return folder + "/" + name; }
    Ref<NSURL> url(const std::string& name) const { return NSURL::fileURLWithPath(NSString::from(path(name))); }
    // A sound of the app's bundle.
    static Ref<NSURL> bundled(const char* name, const char* type) {
        return NSBundle::mainBundle()->URLForResourceWithExtension(NSString::from(name), NSString::from(type));
    }

    std::string folder;
};

// A sine tone of `seconds` at `frequency`, `channels` channels (a stereo tone may sound on one side).
inline AudioFileData tone(double seconds, double frequency, int channels = 1, float amplitude = 0.5f,
                          int silentChannel = -1) {
    AudioFileData data;
    data.channels = channels;
    auto frames = static_cast<size_t>(seconds * AudioFileData::kSampleRate);
    data.samples.resize(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i) {
        auto v = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) /
                                                         AudioFileData::kSampleRate));
        for (int c = 0; c < channels; ++c) {
            data.samples[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] = c == silentChannel ? 0.0f : v;
        }
    }
    return data;
}

inline double rms(const std::vector<float>& samples) {
    if (samples.empty()) {
        return 0;
    }
    double sum = 0;
    for (float v : samples) {
        sum += static_cast<double>(v) * v;
    }
    return std::sqrt(sum / static_cast<double>(samples.size()));
}

} // namespace audio_test
