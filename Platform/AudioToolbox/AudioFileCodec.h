// AudioFileCodec: reading and writing sound files for the platform's players, recorder, system
// sounds and asset metadata, on the FFmpeg libraries (libavformat, libavcodec, libswresample).
// Decoded sound is float samples (-1..1), interleaved, resampled to 44100 Hz, one or two channels
// (more are mixed down to two). Files: MP3, M4A (AAC), WAV (16-bit PCM), CAF (16-bit PCM); reading
// takes whatever FFmpeg can read.
//
// Garbage never crashes: a file that cannot be opened, holds no audio stream, or does not decode
// is an error with a message. Decoding stops at kMaxDecodedSeconds of sound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct AudioFileData {
    static constexpr double kSampleRate = 44100.0;
    int channels = 0;
    std::vector<float> samples; // interleaved, kSampleRate
    // Metadata: "title", "artist", "album", and the attached picture's bytes (empty: none). When
    // writing, artwork (PNG or JPEG bytes) goes into MP3 (ID3 picture) and M4A (cover) files only.
    std::map<std::string, std::string> metadata;
    std::string artwork;
    // The container the file was read from (FFmpeg's demuxer name, e.g. "mp3", "mov,mp4,m4a,3gp,3g2,mj2").
    std::string container;

    size_t frames() const { return channels ? samples.size() / static_cast<size_t>(channels) : 0; }
    double duration() const { return static_cast<double>(frames()) / kSampleRate; }
    // One channel of it (mono files answer their one channel for both).
    std::vector<float> channel(int index) const;
    // The channels mixed to one.
    std::vector<float> mono() const;
};

inline constexpr double kMaxDecodedSeconds = 600.0;

// The file's sound, or nothing with the reason in `error`.
std::optional<AudioFileData> AudioFileDecode(const std::string& path, std::string* error = nullptr);
// The same for a file in memory (tests and fuzzing).
std::optional<AudioFileData> AudioFileDecodeMemory(const uint8_t* data, size_t size, std::string* error = nullptr);
// Only the container's facts, without decoding: the duration (seconds) and the metadata.
std::optional<AudioFileData> AudioFileProbe(const std::string& path, double* duration, std::string* error = nullptr);
std::optional<AudioFileData> AudioFileProbeMemory(const uint8_t* data, size_t size, double* duration,
                                                  std::string* error = nullptr);

// Writes `audio` to `path` in the format of `container`: "m4a" (AAC), "mp3", "wav" or "caf";
// `sampleRate` is the file's rate (the data is resampled from 44100 Hz). False with a reason when
// the format is unknown, the data is empty or malformed, or the file cannot be written.
bool AudioFileEncode(const std::string& path, const std::string& container, const AudioFileData& audio,
                     int sampleRate = 44100, std::string* error = nullptr);
