// MovieFileCodec: writing and reading the QuickTime movies of the movie-file output and the player,
// on the FFmpeg libraries (libavformat, libavcodec, libswscale, libswresample). A movie holds one
// MPEG-4 video track (frames of the camera, upright, at a fixed frame rate) and, when there is a
// microphone, one AAC sound track (mono, 44100 Hz).
//
// The writer takes frames one by one as the camera delivers them (so a long clip never sits in
// memory) and the sound at the end; the reader answers the facts of a file, its sound, and single
// frames by time. Garbage never crashes: a file that cannot be opened, holds no video track, or does
// not decode is an error with a message.
#pragma once

#include <Device/SimCamera.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class MovieFileWriter {
public:
    // A writer of `width` x `height` frames (both even, at most 4096) at `framesPerSecond`, with a
    // sound track when `withSound`. Nothing, with the reason in `error`, when the file cannot be made.
    static std::unique_ptr<MovieFileWriter> create(const std::string& path, int width, int height, int framesPerSecond,
                                                   bool withSound, std::string* error = nullptr);
    ~MovieFileWriter();
    MovieFileWriter(const MovieFileWriter&) = delete;
    MovieFileWriter& operator=(const MovieFileWriter&) = delete;

    // Appends the next frame (scaled to the movie's size when it differs). False when it cannot be
    // encoded or written.
    [[nodiscard]] bool addFrame(const SimFrame& frame);
    // Writes the sound (mono, 44100 Hz; ignored without a sound track) and closes the file. False
    // with the reason when that fails; the writer is spent either way.
    [[nodiscard]] bool finish(const std::vector<float>& sound, std::string* error = nullptr);

    int framesWritten() const noexcept { return frames_; }
    double duration() const noexcept { return static_cast<double>(frames_) / framesPerSecond_; }
    // The bytes in the file so far.
    int64_t bytesWritten() const;

private:
    struct State;
    explicit MovieFileWriter(std::unique_ptr<State> state, int framesPerSecond);
    std::unique_ptr<State> state_;
    int framesPerSecond_ = 20;
    int frames_ = 0;
};

// The facts of a movie file and its sound.
struct MovieFileInfo {
    int width = 0;
    int height = 0;
    double duration = 0; // seconds: the longer of its tracks
    double framesPerSecond = 0;
    int frameCount = 0;
    bool hasSound = false;
    std::vector<float> sound; // mono, 44100 Hz
};

// The movie's facts, its sound decoded; nothing with the reason in `error`.
std::optional<MovieFileInfo> MovieFileRead(const std::string& path, std::string* error = nullptr);

// Every frame of the movie in order, as cairo ARGB32 pixels, at most `maxFrames`.
std::optional<std::vector<SimFrame>> MovieFileFrames(const std::string& path, size_t maxFrames = 600,
                                                     std::string* error = nullptr);

// Decodes the frames of one movie file in order and answers the one shown at a time; keeps its place
// so a player moving forward decodes each frame once (going back starts again).
class MovieFrameReader {
public:
    static std::unique_ptr<MovieFrameReader> open(const std::string& path, std::string* error = nullptr);
    ~MovieFrameReader();
    MovieFrameReader(const MovieFrameReader&) = delete;
    MovieFrameReader& operator=(const MovieFrameReader&) = delete;
    // The frame shown at `seconds` from the start (the last one after the end); nothing when the
    // file holds no decodable frame.
    std::optional<SimFrame> frameAt(double seconds);

private:
    struct State;
    explicit MovieFrameReader(std::unique_ptr<State> state);
    bool restart();
    bool decodeNext();
    std::unique_ptr<State> state_;
};
