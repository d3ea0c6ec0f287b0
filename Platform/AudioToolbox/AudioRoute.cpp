// AudioRoute: the platform's state of the audio route (see AudioRoute.h).
#include <AudioToolbox/AudioRoute.h>

#include <AudioToolbox/AudioFileCodec.h>
#include <Dispatch/Clock.h>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace audio_route {
namespace {

struct State {
    std::mutex mutex;
    std::string category = "AVAudioSessionCategorySoloAmbient";
    uint64_t options = 0;
    std::string mode = "AVAudioSessionModeDefault";
    Override override_ = Override::None;
    DataSource source = DataSource::Bottom;
    bool active = false;
};

State& state() {
    static State* s = [] {
        // What the system decided for one test's session must not carry into the next test of the
        // same process, which starts on a fresh device.
        DispatchClock::addTestEndHandler([] { reset(); });
        return new State;
    }();
    return *s;
}

using Samples = std::shared_ptr<const std::vector<float>>;

Samples slice(const std::vector<float>& all, size_t from) {
    if (from >= all.size()) {
        return nullptr;
    }
    return std::make_shared<const std::vector<float>>(all.begin() + static_cast<std::ptrdiff_t>(from), all.end());
}

} // namespace

void setCategory(const std::string& category, uint64_t options) {
    std::lock_guard lock(state().mutex);
    state().category = category;
    state().options = options;
}

std::string category() {
    std::lock_guard lock(state().mutex);
    return state().category;
}

uint64_t categoryOptions() {
    std::lock_guard lock(state().mutex);
    return state().options;
}

void setMode(const std::string& mode) {
    std::lock_guard lock(state().mutex);
    state().mode = mode;
}

std::string mode() {
    std::lock_guard lock(state().mutex);
    return state().mode;
}

void setOverride(Override value) {
    std::lock_guard lock(state().mutex);
    state().override_ = value;
}

Override override_() {
    std::lock_guard lock(state().mutex);
    return state().override_;
}

bool active() {
    std::lock_guard lock(state().mutex);
    return state().active;
}

void setActive(bool active) {
    std::lock_guard lock(state().mutex);
    state().active = active;
}

DataSource dataSource() {
    std::lock_guard lock(state().mutex);
    return state().source;
}

void setDataSource(DataSource source) {
    std::lock_guard lock(state().mutex);
    state().source = source;
}

void reset() {
    std::lock_guard lock(state().mutex);
    state().category = "AVAudioSessionCategorySoloAmbient";
    state().options = 0;
    state().mode = "AVAudioSessionModeDefault";
    state().override_ = Override::None;
    state().source = DataSource::Bottom;
    state().active = false;
}

std::vector<SimAudio::Part> outputs() {
    auto& audio = SimAudio::current();
    if (audio.headsetPlugged()) {
        return {SimAudio::Part::HeadphoneLeft, SimAudio::Part::HeadphoneRight};
    }
    bool speaker;
    {
        std::lock_guard lock(state().mutex);
        // The "default to speaker" option of play-and-record (0x8) works as an override.
        speaker = state().override_ == Override::Speaker || state().category != "AVAudioSessionCategoryPlayAndRecord" ||
                  (state().options & 0x8) != 0;
    }
    if (speaker || !audio.isPresent(SimAudio::Part::Receiver)) {
        return {SimAudio::Part::Speaker};
    }
    return {SimAudio::Part::Receiver};
}

SimAudio::Part input() {
    if (SimAudio::current().headsetPlugged()) {
        return SimAudio::Part::HeadsetMicrophone;
    }
    return dataSource() == DataSource::Front ? SimAudio::Part::FrontMicrophone : SimAudio::Part::BottomMicrophone;
}

Playing play(const AudioFileData& audio, double start, int loops, float gain, float pan, double offset) {
    Playing playing;
    if (audio.channels <= 0 || audio.frames() == 0 || !(gain > 0)) {
        return playing;
    }
    auto parts = outputs();
    pan = std::isfinite(pan) ? std::clamp(pan, -1.0f, 1.0f) : 0.0f;
    size_t from = static_cast<size_t>(std::max(0.0, offset) * AudioFileData::kSampleRate);
    for (size_t i = 0; i < parts.size(); ++i) {
        std::vector<float> channel;
        float g = gain;
        if (parts.size() == 2) {
            channel = audio.channel(static_cast<int>(i));
            g *= i == 0 ? std::min(1.0f, 1.0f - pan) : std::min(1.0f, 1.0f + pan);
        } else {
            channel = audio.mono();
        }
        auto whole = std::make_shared<const std::vector<float>>(std::move(channel));
        if (from == 0) {
            playing.emissions.push_back(SimAudio::current().startEmission(parts[i], whole, start, loops, g));
            continue;
        }
        // From the middle: the rest of this pass, then the further passes whole.
        double next = start;
        if (auto rest = slice(*whole, from)) {
            playing.emissions.push_back(SimAudio::current().startEmission(parts[i], rest, start, 0, g));
            next = start + static_cast<double>(rest->size()) / AudioFileData::kSampleRate;
        }
        if (loops != 0) {
            playing.emissions.push_back(
                SimAudio::current().startEmission(parts[i], whole, next, loops < 0 ? -1 : loops - 1, g));
        }
    }
    return playing;
}

void stop(const Playing& playing, double at) {
    for (uint64_t id : playing.emissions) {
        SimAudio::current().stopEmission(id, at);
    }
}

} // namespace audio_route
