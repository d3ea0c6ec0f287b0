// Fuzzes sound-file decoding: any bytes through the decoder the players and system sounds use (a
// whole sound or an error, never a crash); what decodes must be well formed and is written out and
// read back as WAV. The same bytes go through the metadata reader of assets (tags and artwork
// without decoding).
#include <AudioToolbox/AudioFileCodec.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    std::string error;
    double seconds = -1;
    if (auto probed = AudioFileProbeMemory(bytes, size, &seconds, &error)) {
        if (probed->channels < 1 || probed->channels > 2 || !std::isfinite(seconds) || seconds < 0 ||
            probed->artwork.size() > size) {
            __builtin_trap();
        }
    } else if (error.empty()) {
        __builtin_trap();
    }
    error.clear();
    auto audio = AudioFileDecodeMemory(bytes, size, &error);
    if (!audio) {
        if (error.empty()) {
            __builtin_trap(); // a failure always says why
        }
        return 0;
    }
    if (audio->channels < 1 || audio->channels > 2 || audio->samples.size() % static_cast<size_t>(audio->channels) ||
        audio->duration() > kMaxDecodedSeconds + 1) {
        __builtin_trap();
    }
    for (float v : audio->samples) {
        if (!std::isfinite(v) || v < -1.0f || v > 1.0f) {
            __builtin_trap();
        }
    }
    if (audio->frames() > 0 && audio->duration() < 1.0) {
        static const std::string path = "/tmp/dx-audio-fuzz-" + std::to_string(getpid()) + ".wav";
        if (AudioFileEncode(path, "wav", *audio, 44100, &error)) {
            auto back = AudioFileDecode(path, &error);
            if (!back || back->channels != audio->channels) {
                __builtin_trap();
            }
        }
        std::remove(path.c_str());
    }
    return 0;
}
