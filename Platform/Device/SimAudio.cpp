// SimAudio: the acoustic side of the simulated device (see SimAudio.h).
#include <Device/SimAudio.h>
#include <Device/SimFaults.h>

#include <Device/SimDevice.h>
#include <Dispatch/Clock.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <sstream>

namespace {

using json = nlohmann::json;
using Part = SimAudio::Part;
using State = SimAudio::State;

constexpr const char* kPartNames[SimAudio::kPartCount] = {
    "bottomMicrophone", "frontMicrophone", "headsetMicrophone", "receiver",    "speaker",
    "headphoneLeft",    "headphoneRight",  "ringerSwitch",      "headsetKeys", "headsetJack"};
constexpr const char* kStateNames[] = {"working", "absent", "dead"};

// How much of a transducer's signal reaches each microphone (bottom, front, headset): the loudspeaker
// sits beside the bottom microphone, the receiver beside the front one, the earpieces are in the
// operator's ears and reach the phone's microphones barely.
constexpr double kPaths[4][3] = {
    {0.05, 0.4, 0.02},    // receiver
    {0.5, 0.15, 0.05},    // speaker
    {0.005, 0.005, 0.02}, // headphone left
    {0.005, 0.005, 0.02}, // headphone right
};
// How much of the operator's voice reaches each microphone.
constexpr double kVoicePaths[3] = {0.3, 0.2, 0.5};
// Emissions that ended this long ago leave the record.
constexpr double kRecordHorizon = 300.0;

size_t index(Part part) {
    return static_cast<size_t>(part);
}

int64_t sampleAt(double uptime) {
    return static_cast<int64_t>(std::llround(uptime * SimAudio::kSampleRate));
}

uint64_t mix(uint64_t x) {
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

// Uniform noise in -1..1 that depends only on the seed.
double uniform(uint64_t seed) {
    return static_cast<double>(mix(seed) >> 11) / 4503599627370496.0 - 1.0;
}

// A voice-like signal: a low fundamental with two harmonics, opening and closing four times a second.
double voice(int64_t sample) {
    double t = static_cast<double>(sample) / SimAudio::kSampleRate;
    double envelope = 0.6 + 0.4 * std::sin(2 * std::numbers::pi * 4 * t);
    double tone = std::sin(2 * std::numbers::pi * 180 * t) + 0.5 * std::sin(2 * std::numbers::pi * 360 * t) +
                  0.25 * std::sin(2 * std::numbers::pi * 540 * t);
    return 0.12 * envelope * tone;
}

dispatch_queue_t scriptQueue() {
    static dispatch_queue_t* queue = new dispatch_queue_t(dispatch_queue_create("SimAudio.script", nullptr));
    return *queue;
}

bool headphonesIn(const SimDevice& device) {
    for (const auto& port : device.audioOutputs()) {
        if (port.type == "Headphones") {
            return true;
        }
    }
    return false;
}

} // namespace

const char* SimAudio::partName(Part part) {
    return kPartNames[index(part)];
}

std::optional<SimAudio::Part> SimAudio::partNamed(const std::string& name) {
    return sim_faults::named<Part>(kPartNames, name);
}

const char* SimAudio::stateName(State state) {
    return kStateNames[static_cast<size_t>(state)];
}

std::optional<SimAudio::State> SimAudio::stateNamed(const std::string& name) {
    return sim_faults::named<State>(kStateNames, name);
}

std::vector<std::string> SimAudio::states(Part part) {
    return sim_faults::namesOf<State>(kStateNames, [part](State state) { return allows(part, state); });
}

bool SimAudio::isMicrophone(Part part) {
    return part == Part::BottomMicrophone || part == Part::FrontMicrophone || part == Part::HeadsetMicrophone;
}

bool SimAudio::allows(Part part, State state) {
    return state != State::Absent || (part != Part::HeadsetKeys && part != Part::HeadsetJack);
}

bool SimAudio::fitted(Part part) const {
    std::lock_guard lock(mutex_);
    return fitted_[index(part)];
}

SimAudio& SimAudio::current() {
    static SimAudio* audio = new SimAudio;
    return *audio;
}

SimAudio::SimAudio() {
    loadProfile();
    auto& device = SimDevice::current();
    headsetWasIn_ = headphonesIn(device);
    deviceListener_ = device.addListener([this](SimDevice::Change change) {
        if (change == SimDevice::Change::Profile) {
            reset();
        } else if (change == SimDevice::Change::Accessories) {
            bool plugged = headphonesIn(SimDevice::current());
            bool changed;
            {
                std::lock_guard lock(mutex_);
                changed = plugged != headsetWasIn_;
                headsetWasIn_ = plugged;
            }
            if (changed) {
                Event event;
                event.change = Change::Headset;
                event.plugged = plugged;
                notify(event);
            }
        }
    });
}

void SimAudio::loadProfile() {
    const SimDevice& device = SimDevice::current();
    std::string profile = device.profileJSON();
    bool pad = device.identity().idiom == SimDevice::Idiom::Pad;
    std::lock_guard lock(mutex_);
    states_.fill(State::Working);
    if (pad) {
        // A tablet has no receiver and no ring/silent switch.
        states_[index(Part::Receiver)] = State::Absent;
        states_[index(Part::RingerSwitch)] = State::Absent;
    }
    profileVolume_ = 0.5f;
    profileRingerSilent_ = false;
    try {
        json root = json::parse(profile);
        if (auto a = root.find("audio"); a != root.end() && a->is_object()) {
            for (auto it = a->begin(); it != a->end(); ++it) {
                if (auto part = partNamed(it.key()); part && allows(*part, State::Absent)) {
                    bool present = true;
                    if (it->is_boolean()) {
                        present = it->get<bool>();
                    } else if (it->is_object()) {
                        present = it->value("present", true);
                    }
                    states_[index(*part)] = present ? State::Working : State::Absent;
                }
            }
            if (auto v = a->find("volume"); v != a->end() && v->is_number()) {
                profileVolume_ = std::clamp(v->get<float>(), 0.0f, 1.0f);
            }
            if (auto s = a->find("ringerSilent"); s != a->end() && s->is_boolean()) {
                profileRingerSilent_ = s->get<bool>();
            }
        }
    } catch (const std::exception&) {
        // The device checked the profile when it loaded it; sections of other shapes keep defaults.
    }
    for (size_t i = 0; i < kPartCount; ++i) {
        fitted_[i] = states_[i] != State::Absent;
    }
    volume_ = profileVolume_;
    ringerSilent_ = profileRingerSilent_;
    permission_ = Permission::Undetermined;
    promptAnswer_ = PromptAnswer::Allow;
    promptDelay_ = 1.0;
    promptShowing_ = false;
    activationError_ = 0;
    dataSourceFails_ = false;
    voiceProcessing_ = true;
    unitStartFails_ = false;
    recordingLimit_ = -1;
    emissions_.clear();
    speech_.clear();
    ++headsetGeneration_;
}

void SimAudio::reset() {
    loadProfile();
    if (headsetPlugged() || headsetInserted()) {
        plugHeadset(false);
    }
    {
        std::lock_guard lock(mutex_);
        headsetWasIn_ = headsetPlugged();
    }
    Event event;
    event.change = Change::Parts;
    notify(event);
}

void SimAudio::notify(Event event) {
    listeners_.notify(event);
}

SimAudio::State SimAudio::state(Part part) const {
    std::lock_guard lock(mutex_);
    return states_[index(part)];
}

void SimAudio::setState(Part part, State state) {
    {
        std::lock_guard lock(mutex_);
        if (states_[index(part)] == state) {
            return;
        }
        states_[index(part)] = state;
    }
    if (part == Part::HeadsetJack) {
        routeHeadset(); // a jack that breaks loses the headset in it
    }
    Event event;
    event.change = Change::Parts;
    notify(event);
}

bool SimAudio::applyFaults(const std::string& text, std::string* error) {
    std::vector<std::pair<Part, State>> changes;
    if (!sim_faults::changes<Part, State>(text, &partNamed, &stateNamed, &states, changes, error)) {
        return false;
    }
    for (auto [part, state] : changes) {
        setState(part, state);
    }
    return true;
}

bool SimAudio::loadFaults(const std::string& path, std::string* error) {
    return sim_faults::load(path, error,
                            [this](const std::string& text, std::string* why) { return applyFaults(text, why); });
}

// MARK: Headset

bool SimAudio::headsetPlugged() const {
    return headphonesIn(SimDevice::current());
}

bool SimAudio::headsetInserted() const {
    std::lock_guard lock(mutex_);
    return headsetInserted_;
}

void SimAudio::plugHeadset(bool plugged) {
    {
        std::lock_guard lock(mutex_);
        headsetInserted_ = plugged;
    }
    routeHeadset();
}

void SimAudio::routeHeadset() {
    bool seen;
    {
        std::lock_guard lock(mutex_);
        seen = headsetInserted_ && states_[index(Part::HeadsetJack)] == State::Working;
    }
    if (seen != headsetPlugged()) {
        SimDevice::current().setHeadphonesPlugged(seen);
    }
}

void SimAudio::scheduleHeadset(double delay, bool plugged) {
    uint64_t generation;
    {
        std::lock_guard lock(mutex_);
        generation = headsetGeneration_;
    }
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(std::max(0.0, delay) * 1e9)), scriptQueue(),
                   [this, generation, plugged] {
                       {
                           std::lock_guard lock(mutex_);
                           if (generation != headsetGeneration_) {
                               return; // the device was reset since
                           }
                       }
                       plugHeadset(plugged);
                   });
}

bool SimAudio::pressHeadsetKey(HeadsetKey key) {
    if (!headsetPlugged() || state(Part::HeadsetKeys) != State::Working) {
        return false;
    }
    Event event;
    event.change = Change::HeadsetKey;
    event.key = key;
    notify(event);
    if (key == HeadsetKey::VolumeUp || key == HeadsetKey::VolumeDown) {
        pressVolumeKey(key == HeadsetKey::VolumeUp);
    }
    return true;
}

// MARK: Volume and switch

float SimAudio::outputVolume() const {
    std::lock_guard lock(mutex_);
    return volume_;
}

void SimAudio::setOutputVolume(float volume, VolumeReason reason) {
    if (std::isnan(volume)) {
        return;
    }
    volume = std::clamp(volume, 0.0f, 1.0f);
    {
        std::lock_guard lock(mutex_);
        if (volume_ == volume) {
            return;
        }
        volume_ = volume;
    }
    Event event;
    event.change = Change::Volume;
    event.volume = volume;
    event.reason = reason;
    notify(event);
}

bool SimAudio::pressVolumeKey(bool up) {
    float volume;
    {
        std::lock_guard lock(mutex_);
        float step = 1.0f / 16.0f;
        volume = std::clamp(volume_ + (up ? step : -step), 0.0f, 1.0f);
        if (volume == volume_) {
            return false;
        }
        volume_ = volume;
    }
    Event event;
    event.change = Change::Volume;
    event.volume = volume;
    event.reason = VolumeReason::Key;
    notify(event);
    return true;
}

bool SimAudio::ringerSilent() const {
    std::lock_guard lock(mutex_);
    return ringerSilent_;
}

void SimAudio::setRingerSilent(bool silent) {
    {
        std::lock_guard lock(mutex_);
        if (states_[index(Part::RingerSwitch)] != State::Working || ringerSilent_ == silent) {
            return;
        }
        ringerSilent_ = silent;
    }
    Event event;
    event.change = Change::Ringer;
    notify(event);
}

// MARK: Permission and failures

SimAudio::Permission SimAudio::recordPermission() const {
    std::lock_guard lock(mutex_);
    return permission_;
}

void SimAudio::setRecordPermission(Permission permission) {
    {
        std::lock_guard lock(mutex_);
        if (permission_ == permission) {
            return;
        }
        permission_ = permission;
    }
    Event event;
    event.change = Change::Permission;
    notify(event);
}

void SimAudio::setPermissionPromptAnswer(PromptAnswer answer, double delay) {
    std::lock_guard lock(mutex_);
    promptAnswer_ = answer;
    promptDelay_ = std::max(0.0, delay);
}

SimAudio::PromptAnswer SimAudio::permissionPromptAnswer(double* delay) const {
    std::lock_guard lock(mutex_);
    if (delay) {
        *delay = promptDelay_;
    }
    return promptAnswer_;
}

bool SimAudio::permissionPromptShowing() const {
    std::lock_guard lock(mutex_);
    return promptShowing_;
}

void SimAudio::setPermissionPromptShowing(bool showing) {
    std::lock_guard lock(mutex_);
    promptShowing_ = showing;
}

int SimAudio::activationError() const {
    std::lock_guard lock(mutex_);
    return activationError_;
}

void SimAudio::setActivationError(int code) {
    std::lock_guard lock(mutex_);
    activationError_ = code;
}

bool SimAudio::dataSourceSelectionFails() const {
    std::lock_guard lock(mutex_);
    return dataSourceFails_;
}

void SimAudio::setDataSourceSelectionFails(bool fails) {
    std::lock_guard lock(mutex_);
    dataSourceFails_ = fails;
}

bool SimAudio::voiceProcessingAvailable() const {
    std::lock_guard lock(mutex_);
    return voiceProcessing_;
}

void SimAudio::setVoiceProcessingAvailable(bool available) {
    std::lock_guard lock(mutex_);
    voiceProcessing_ = available;
}

bool SimAudio::audioUnitStartFails() const {
    std::lock_guard lock(mutex_);
    return unitStartFails_;
}

void SimAudio::setAudioUnitStartFails(bool fails) {
    std::lock_guard lock(mutex_);
    unitStartFails_ = fails;
}

double SimAudio::recordingLimit() const {
    std::lock_guard lock(mutex_);
    return recordingLimit_;
}

void SimAudio::setRecordingLimit(double seconds) {
    std::lock_guard lock(mutex_);
    recordingLimit_ = std::isfinite(seconds) ? seconds : -1;
}

// MARK: The acoustic world

uint64_t SimAudio::startEmission(Part transducer, std::shared_ptr<const std::vector<float>> samples, double start,
                                 int loops, float gain) {
    std::lock_guard lock(mutex_);
    uint64_t id = nextEmission_++;
    if (isMicrophone(transducer) || transducer == Part::RingerSwitch || !samples || samples->empty() ||
        states_[index(transducer)] != State::Working || !std::isfinite(gain) || gain <= 0) {
        return id; // nothing sounds
    }
    pruneLocked(sampleAt(DispatchClock::uptime()));
    Emission e;
    e.id = id;
    e.transducer = transducer;
    e.startSample = sampleAt(start);
    e.loops = loops;
    e.gain = std::min(gain, 1.0f);
    e.samples = std::move(samples);
    if (loops >= 0) {
        e.endSample = e.startSample + static_cast<int64_t>(e.samples->size()) * (loops + 1);
    }
    emissions_.push_back(std::move(e));
    return id;
}

void SimAudio::stopEmission(uint64_t id, double at) {
    std::lock_guard lock(mutex_);
    int64_t end = sampleAt(at);
    for (auto& e : emissions_) {
        if (e.id == id) {
            e.endSample = std::max(e.startSample, std::min(e.endSample, end));
        }
    }
}

void SimAudio::pruneLocked(int64_t nowSample) {
    int64_t horizon = nowSample - static_cast<int64_t>(kRecordHorizon * kSampleRate);
    std::erase_if(emissions_, [&](const Emission& e) { return e.endSample < horizon; });
    std::erase_if(speech_, [&](const auto& s) { return s.second < horizon; });
}

void SimAudio::addPlayedLocked(Part transducer, int64_t first, std::vector<float>& out) const {
    int64_t last = first + static_cast<int64_t>(out.size());
    for (const auto& e : emissions_) {
        if (e.transducer != transducer || e.endSample <= first || e.startSample >= last) {
            continue;
        }
        const auto& s = *e.samples;
        int64_t length = static_cast<int64_t>(s.size());
        int64_t from = std::max(first, e.startSample);
        int64_t to = std::min(last, e.endSample);
        for (int64_t i = from; i < to; ++i) {
            int64_t offset = (i - e.startSample) % length;
            out[static_cast<size_t>(i - first)] += e.gain * s[static_cast<size_t>(offset)];
        }
    }
    for (auto& v : out) {
        v = std::clamp(v, -1.0f, 1.0f);
    }
}

std::vector<float> SimAudio::played(Part transducer, double start, size_t frames) const {
    std::vector<float> out(frames, 0.0f);
    std::lock_guard lock(mutex_);
    addPlayedLocked(transducer, sampleAt(start), out);
    return out;
}

double SimAudio::playedLevel(Part transducer, double from, double to) const {
    if (!(to > from)) {
        return 0;
    }
    auto samples = played(transducer, from, static_cast<size_t>(std::llround((to - from) * kSampleRate)));
    if (samples.empty()) {
        return 0;
    }
    double sum = 0;
    for (float v : samples) {
        sum += static_cast<double>(v) * v;
    }
    return std::sqrt(sum / static_cast<double>(samples.size()));
}

bool SimAudio::heard(double from, double to, double threshold) const {
    for (Part p : {Part::Receiver, Part::Speaker, Part::HeadphoneLeft, Part::HeadphoneRight}) {
        if (playedLevel(p, from, to) > threshold) {
            return true;
        }
    }
    return false;
}

void SimAudio::speak(double start, double duration) {
    std::lock_guard lock(mutex_);
    speech_.emplace_back(sampleAt(start), sampleAt(start + std::max(0.0, duration)));
}

std::vector<float> SimAudio::capture(Part microphone, double start, size_t frames) const {
    std::vector<float> out(frames, 0.0f);
    if (!isMicrophone(microphone)) {
        return out;
    }
    bool headset = headsetPlugged();
    std::lock_guard lock(mutex_);
    if (states_[index(microphone)] != State::Working || (microphone == Part::HeadsetMicrophone && !headset)) {
        return out;
    }
    size_t mic = microphone == Part::BottomMicrophone ? 0 : microphone == Part::FrontMicrophone ? 1 : 2;
    int64_t first = sampleAt(start);
    std::vector<float> played(frames);
    constexpr Part kTransducers[] = {Part::Receiver, Part::Speaker, Part::HeadphoneLeft, Part::HeadphoneRight};
    for (size_t t = 0; t < std::size(kTransducers); ++t) {
        std::fill(played.begin(), played.end(), 0.0f);
        addPlayedLocked(kTransducers[t], first, played);
        auto path = static_cast<float>(kPaths[t][mic]);
        for (size_t i = 0; i < frames; ++i) {
            out[i] += path * played[i];
        }
    }
    for (const auto& [from, to] : speech_) {
        int64_t a = std::max(first, from);
        int64_t b = std::min(first + static_cast<int64_t>(frames), to);
        for (int64_t i = a; i < b; ++i) {
            out[static_cast<size_t>(i - first)] += static_cast<float>(kVoicePaths[mic] * voice(i));
        }
    }
    double noise = kNoiseLevel * std::sqrt(3.0); // uniform noise of that RMS
    for (size_t i = 0; i < frames; ++i) {
        auto n = static_cast<uint64_t>(first + static_cast<int64_t>(i)) * 4 + mic;
        out[i] = std::clamp(out[i] + static_cast<float>(noise * uniform(n)), -1.0f, 1.0f);
    }
    return out;
}

uint64_t SimAudio::addListener(std::function<void(Event)> listener) {
    return listeners_.add(std::move(listener));
}

void SimAudio::removeListener(uint64_t token) {
    listeners_.remove(token);
}
